#pragma once
// The upload that START runs: identify the device in bootstrap mode, send the two loader stages,
// wait for the flash erase, then send the hex file record by record. Every step returns 1 or 0;
// the first 0 ends the upload, and every path past PrepareUpload ends through EndUpload.

#include <QString>
#include <memory>

class QFile;
class UploadHost;

// Receive buffer of the upload; every ReadPort fills its start and only its first byte, the
// answer byte, is evaluated. All zero at program start.
constexpr int kRxBufferSize = 1024;
extern unsigned char rxBuffer[kRxBufferSize];
extern int rxCount;  // count of the latest ReadPort into rxBuffer

class UploadProcedure {
public:
    explicit UploadProcedure(UploadHost& host);
    ~UploadProcedure();  // closes what an interrupted upload left open
    UploadProcedure(const UploadProcedure&) = delete;
    UploadProcedure& operator=(const UploadProcedure&) = delete;

    int model = 1;            // 1 to 4, set before the window opens
    QString hexFilePath;      // chosen with Choose HexFile
    bool cancelRequested = false;

    void RunUpload();
    int PrepareUpload();
    int IdentifyDevice();
    int SendLevel1();
    int SendLevel2();
    int WaitForErase();
    int SendHexFile();
    void EndUpload();
    void OnCancel();  // the window's Cancel: only sets cancelRequested; the window closes itself

    // Directory of a model's loader files below baseDirectory, from the customer file.
    static QString ModelDirectory(int model);
    // Full paths of the loader files of the model.
    QString Level1Path() const;
    QString Level2Path() const;

private:
    bool OpenInput(std::unique_ptr<QFile>& file, const QString& path);
    int SendFile(QFile& file);
    void WaitForAnswer(unsigned char answer, qint64 deadline);
    QString ReceivedText() const;

    UploadHost& host_;
    std::unique_ptr<QFile> level1File;
    std::unique_ptr<QFile> level2File;
    std::unique_ptr<QFile> hexFile;
    bool portOpen_ = false;
};
