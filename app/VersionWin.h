// The about box: the version, a thank-you note and the addresses of the service's site and the
// developer's site, each opened in the browser after a question.
#pragma once

#include <QDialog>
#include <QLabel>
#include <array>
#include <functional>

class QFrame;
class QPushButton;

namespace quiblo {

class Desktop;

// A label that reports a click of the left mouse button, styled as a link.
class LinkLabel : public QLabel {
public:
    explicit LinkLabel(QWidget* parent = nullptr);
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

class VersionWin : public QDialog {
    Q_OBJECT

public:
    explicit VersionWin(Desktop& desktop, QWidget* parent = nullptr);

    // Controls, named as designed.
    QLabel* BackGround;
    QLabel* Logo;
    QLabel* SoftIcon;
    QLabel* Versions;
    QFrame* Line1;
    QLabel* Note;
    std::array<LinkLabel*, 2> URL;  // 0: the service's site, 1: the developer's site
    QFrame* Line2;
    QLabel* VoduIcon;
    QLabel* URLDescription;
    QPushButton* CloseWin;

    // Handlers.
    void Form_Load();
    void CloseWin_Click();
    void URL_Click(int index);

    void reject() override;  // Esc and the title bar's close: as CloseWin

private:
    void buildControls();
    void buildLinks();

    Desktop& desktop_;
};

// "Version: " + major + "." + minor of this program.
QString versionCaption();

}  // namespace quiblo
