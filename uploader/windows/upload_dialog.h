#pragma once
// The upload window: choose the hex file, change the port settings, START the upload, Cancel.
// It runs the upload of UploadProcedure inside START's handler and gives it its status text,
// progress bar, buttons, message boxes, clock and waits.

#include "upload.h"
#include "upload_host.h"

#include <QDialog>

#include <QLabel>

class QProgressBar;
class QPushButton;

// The status text: one centred line. A text too long for it (a deep path) loses its middle on
// screen and shows whole in its tool tip; text() and screen readers always have all of it.
class StatusLabel : public QLabel {
public:
    using QLabel::QLabel;
    QString shownText() const;  // the text as painted

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

class UploadDialog : public QDialog, public UploadHost {
    Q_OBJECT
public:
    explicit UploadDialog(QWidget* parent = nullptr);

    // model, hexFilePath, cancelRequested and the upload steps.
    UploadProcedure upload{*this};

    void OnInitDialog();  // run by the constructor
    void ApplyTexts();
    void OnChooseHexFile();
    void OnComSettings();
    void RunUpload();
    void OnCancel();  // sets cancelRequested, then closes with Cancel
    void reject() override;  // Cancel, Escape and closing the window all come here

    QPushButton* chooseHexFileButton = nullptr;  // 1004
    QPushButton* comSettingsButton = nullptr;    // 1002
    StatusLabel* statusText = nullptr;           // 1021
    QProgressBar* progressBar = nullptr;         // 1003
    QPushButton* startButton = nullptr;          // 1022
    QPushButton* cancelButton = nullptr;         // 2

    // UploadHost
    void SetStatusText(const QString& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPosition(int position) override;
    void SetProgressStepSize(int step) override;
    void StepProgress() override;
    void EnableUploadButtons(bool enable) override;
    void ShowMessage(const QString& text) override;
    qint64 Now() override;
    void DispatchMessages(qint64 wakeAt) override;
    void WaitForData(qint64 deadline) override;

private:
    int progressStep_ = 1;
};

// The text of the COM Settings button for the current port and baud rate.
QString ComSettingsCaption();
// Shows a modal message box of the uploader: warning icon, OK, titled "Quorra".
void ShowQuorraMessage(QWidget* parent, const QString& text);
