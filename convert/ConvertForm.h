#pragma once
// The converter's window: the folder tree, the folder's day logs with their status, the
// two runs and the list of converted files. The scan and the conversion are ConvertRun's;
// this class shows them.
#include <QDialog>
#include <QIcon>
#include <QWidget>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "convert/ConvertRun.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"
#include "widgets/WaitCursor.h"

class QFileSystemModel;
class QLabel;
class QListWidget;
class QMessageBox;
class QModelIndex;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QTreeView;
class TAboutDlg;

class TConvertForm : public QWidget {
    Q_OBJECT
public:
    explicit TConvertForm(QWidget* parent = nullptr);
    ~TConvertForm() override;

    // The folder whose logs are shown, ending in '/'.
    const std::string& Folder() const { return folder; }
    // Shows the folder: selects it in the tree, which scans it.
    void ShowFolder(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShellTreeViewChange(const QModelIndex& current);
    void Scan();
    void FillList();
    void StartRun(LogStatus which, QPushButton* pressed);
    void RunStep();
    void FinishRun();
    void StopRun();
    void ShowMessage(const QString& text);

    TIniFile IniFile;
    TMOX_Diagram MOX_Diagram;
    std::string folder;
    std::vector<LogItem> items;
    // Why logs failed in the last run, kept across the scan that follows it.
    std::map<std::string, std::string> lastErrors;
    std::set<std::string> toldSkipped;  // folder + line of the logs of a day left out
    std::unique_ptr<ConvertRun> run;
    std::optional<WaitCursor> busy;  // while a run goes on
    QPushButton* runButton = nullptr;
    bool otherButtonWasEnabled = false;
    bool revealFolder = false;  // keep the shown folder in view while the tree fills

    QIcon statusIcons[3];
    QFileSystemModel* folders = nullptr;
    QLabel* Label5 = nullptr;
    QTreeView* ShellTreeView = nullptr;
    QListWidget* ListView = nullptr;
    QPushButton* ConvertButton = nullptr;
    QPushButton* UpdateButton = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* HelpButton = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* Memo = nullptr;
    QProgressBar* Progress = nullptr;
    QPushButton* QuitButton = nullptr;
    QMessageBox* messageBox = nullptr;
    TAboutDlg* AboutBox = nullptr;
};
