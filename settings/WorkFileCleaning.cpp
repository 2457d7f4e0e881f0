#include "WorkFileCleaning.h"

#include <QFile>
#include <filesystem>
#include <system_error>
#include <vector>

namespace quiblo {

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString& text) {
    return fs::path(QFile::encodeName(text).toStdString());
}

// The work files of the folder, collected before any is removed so that removing does not
// disturb the listing. False when the folder cannot be listed.
bool findWorkFiles(const fs::path& folder, std::vector<fs::path>* found) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) return false;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) return false;
        // symlink_status: a link is never followed, whatever it points to.
        const fs::file_status status = it->symlink_status(error);
        if (error) return false;
        const QString name = QFile::decodeName(it->path().filename().c_str());
        if (fs::is_regular_file(status) && isWorkFileName(name)) found->push_back(it->path());
    }
    return !error;
}

}  // namespace

bool isWorkFileName(const QString& name) {
    static const QString prefix = QStringLiteral("tmp_");
    static const QString suffix = QStringLiteral(".png");
    return name.size() >= prefix.size() + suffix.size() && name.startsWith(prefix) &&
           name.endsWith(suffix);
}

bool cleanWorkFiles(const QString& programFolder) {
    if (programFolder.isEmpty()) return false;
    std::vector<fs::path> files;
    if (!findWorkFiles(toPath(programFolder), &files)) return false;
    bool allRemoved = true;
    for (const fs::path& file : files) {
        std::error_code error;
        fs::remove(file, error);
        if (error) allRemoved = false;  // keep going: remove what can be removed
    }
    return allRemoved;
}

}  // namespace quiblo
