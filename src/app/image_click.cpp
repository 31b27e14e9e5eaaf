// Loading the program image: the Click of cmdFlashFile, the HEX conversion it may need, and the window's
// event-handling wait.
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/main_window.h"
#include "image/delay.h"
#include "image/hex_conversion.h"
#include "image/image_file.h"
#include "platform/system_dir.h"

namespace corvat {

namespace {

const QString kImageFilter = QStringLiteral("程序(*.BIN;*.HEX)|*.BIN;*.HEX");
const QString kNoFileChosen = QStringLiteral("请选择源文件路径！");
const QString kConversionFailed = QStringLiteral("打开文件出错了！");
const QString kImageLoaded = QStringLiteral("文件已读入！长度：");
const QString kCannotRead = QStringLiteral("无法读取文件：%1\n%2");
const QString kNoConverterFolder = QStringLiteral("转换程序的临时文件夹不可用：%1");

// The window starts without an image, so its trace names each one as it is loaded: the file as chosen
// (a HEX file, not the converter's output), and how many bytes it gave.
void NoteImageLoad(trace::TraceWriter& trace, const QString& chosen, std::int32_t loaded) {
    const Result<QString> sha256 = FileSha256(chosen);
    trace.Note(trace::kNoPort, "image",
               {{"name", chosen.toStdString()},
                {"size", std::to_string(QFileInfo(chosen).size())},
                {"sha256", sha256 ? sha256->toStdString() : std::string()},
                {"loaded", std::to_string(loaded)}});
}

}  // namespace

void MainWindow::Delay(std::int32_t milliseconds) {
    corvat::Delay(milliseconds);
}

void MainWindow::cmdFlashFile_Click() {
    // Kept off until the Click ends: the conversion's wait lets other handlers run.
    cmdFlashFile->setEnabled(false);
    if (m_loader->PortOpen()) m_loader->ClosePort();

    // The dialog keeps its name between uses, so a cancel after an earlier choice reports that choice.
    const QString answer = m_environment.dialogs->GetOpenFileName(kImageFilter, m_dlgFileName);
    if (!answer.isEmpty()) m_dlgFileName = answer;
    const QString chosen = m_dlgFileName;
    txtFile->setText(chosen);
    if (chosen.isEmpty()) {
        ShowPrompt(kNoFileChosen);
        cmdFlashFile->setEnabled(true);
        return;
    }

    QString source = chosen;
    if (IsHexName(chosen)) {
        // Connecting during the wait could start a download of the image that is about to be replaced.
        const bool couldConnect = cmdstar->isEnabled();
        cmdstar->setEnabled(false);
        const bool ready = ConvertHexImage(chosen);
        cmdstar->setEnabled(couldConnect);
        if (!ready) {
            cmdFlashFile->setEnabled(true);
            return;
        }
        source = ConverterFilesIn(m_state.AppDir, SystemDir()).output;
    }
    ReadImage(source);
    cmdFlashFile->setEnabled(true);
}

void MainWindow::ReadImage(const QString& source) {
    Result<QByteArray> read = ReadImageFile(source);
    if (!read) {
        // What was loaded before stays loaded, and the preview keeps showing it.
        ShowError(kCannotRead.arg(source, read.message()));
        return;
    }
    m_state.ImageData = std::move(read).value();
    m_state.ImageLength = static_cast<std::int32_t>(m_state.ImageData.size());
    Text3->setPlainText(PreviewText(m_state.ImageData));
    ShowMessage(kImageLoaded + QString::number(m_state.ImageLength));
    if (m_environment.trace) NoteImageLoad(*m_environment.trace, txtFile->text(), m_state.ImageLength);
    cmdstar->setEnabled(true);
}

bool MainWindow::ConvertHexImage(const QString& chosenPath) {
    const QString folder = SystemDir();
    const ConverterFiles files = ConverterFilesIn(m_state.AppDir, folder);
    // Without its private folder the converter's files would land in whatever the current folder is.
    StepError error =
        folder.isEmpty() ? kNoConverterFolder.arg(m_conversionFolderError) : DeleteOldOutput(files);
    if (error.isEmpty()) error = CopyConverter(files);
    if (error.isEmpty()) error = CopyInput(files, chosenPath);
    if (error.isEmpty()) error = StartConverter(files, *m_environment.starter);

    // Shut-down may run inside a wait and remove the files; after that nothing is shown or read.
    const auto waitThenCheck = [&](std::chrono::milliseconds wait) {
        Delay(static_cast<std::int32_t>(wait.count()));
        return !m_unloaded && IsOutputReady(files);
    };
    if (error.isEmpty()) {
        if (waitThenCheck(kConverterFirstWait)) return true;
        for (int retry = 0; retry < kConverterRetries && !m_unloaded; ++retry) {
            if (waitThenCheck(kConverterRetryWait)) return true;
        }
    }
    // Shut-down removed this window's folder with the files in it; a converter still running can no
    // longer write there.
    if (m_unloaded) return false;
    ShowError(error.isEmpty() ? kConversionFailed : error);
    Text3->clear();
    return false;
}

}  // namespace corvat
