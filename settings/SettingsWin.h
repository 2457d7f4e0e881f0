// The advanced settings window: the capture wait, the cleaning of left-over work files, and the
// address, FTP port, upload key and keeping time of the service, and the language of the texts.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QFrame;
class QLineEdit;
class QComboBox;
class QPushButton;
class QToolButton;

namespace quiblo {

class Desktop;

// An up-down control: two arrow buttons stepping a value within a range. The arrow keys and
// the mouse wheel step it too.
class UpDown : public QWidget {
public:
    explicit UpDown(QWidget* parent = nullptr);

    int value() const { return value_; }
    // Clamped to the range; calls onChange when the value changes.
    void setValue(int value);
    void setRange(int minimum, int maximum);
    void setIncrement(int increment) { increment_ = increment; }
    void stepUp() { setValue(value_ + increment_); }
    void stepDown() { setValue(value_ - increment_); }

    QToolButton* upButton;
    QToolButton* downButton;
    std::function<void()> onChange;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int minimum_ = 0;
    int maximum_ = 100;
    int increment_ = 1;
    int value_ = 0;
};

class SettingsWin : public QDialog {
    Q_OBJECT

public:
    SettingsWin(Desktop& desktop, const QString& programFolder, QWidget* parent = nullptr);

    // Controls, named as designed.
    QLabel* Label1;
    QFrame* Line1;
    QLabel* Label2;
    QLabel* Label3;
    QPushButton* CleanTmpFileCmd;
    QLabel* Label4;
    QLineEdit* QuibloWaitTime;
    UpDown* QuibloWaitTimeUD;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* ServiceHost;
    QLabel* Label7;
    QLabel* Label8;
    QLineEdit* UploadKey;
    QLineEdit* FtpPort;
    QLabel* Label9;
    QComboBox* Lifetime;
    QLabel* Label10;
    QComboBox* Language;
    QLabel* Label11;
    QPushButton* CloseCmd;

    // Handlers.
    void Form_Load();
    void CleanTmpFileCmd_Click();
    void CloseCmd_Click();
    void QuibloWaitTimeUD_Change();

protected:
    // Esc presses CloseCmd; every other way of closing (the title bar) stores nothing.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void ReadSettings();
    bool checkServiceSettings();
    void WriteSettings();
    bool writeChecked(const char* key, const QString& value);
    QString languageToStore() const;

    Desktop& desktop_;
    QString programFolder_;
};

}  // namespace quiblo
