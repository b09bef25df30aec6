#pragma once
// The browser's main window: two diagram panes, their switches and the file chooser.
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <string>

#include "browser/BrowserLogic.h"
#include "mox/Mm.h"
#include "mox/rtl/IniFile.h"

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class DiagramView;
class TAboutDlg;
class TDiagramForm;
class TFarbDlg;

inline constexpr const char* BrowserCaption = "MOX_Browser V1.0d";

class TMainForm : public QWidget {
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    TMOX_Diagram MOX_Diagram1;
    TMOX_Diagram MOX_Diagram2;

    TMOX_Diagram& Diagram(int pane) { return pane == 2 ? MOX_Diagram2 : MOX_Diagram1; }
    DiagramView* Image(int pane) const { return images[pane - 1]; }
    TDiagramForm* Zoom(int pane) const { return zooms[pane - 1]; }
    TFarbDlg* FarbDlg() const { return farbDlg; }
    QListWidget* FileListBox() const { return fileListBox; }
    QListWidget* DirectoryListBox() const { return directoryListBox; }
    QComboBox* DriveComboBox() const { return driveComboBox; }
    QCheckBox* OffsetFilterCheckBox(int pane) const { return offsetFilterBoxes[pane - 1]; }
    QCheckBox* FilterCheckBox(int pane) const { return filterBoxes[pane - 1]; }
    QCheckBox* KorrekturCheckBox(int pane) const { return korrekturBoxes[pane - 1]; }
    QLabel* SpeedButton(int pane) const { return markers[pane - 1]; }
    int ActivePane() const { return activePane; }
    const std::string& PaneFile(int pane) const { return files[pane - 1].Path(); }
    const std::string& Directory() const { return directory; }
    // The last problem told to the observer.
    const QString& LastProblem() const { return lastProblem; }

    void SetDirectory(const std::string& path);
    void FileListBoxClick();
    void LoadIntoPane(int pane, const std::string& path);
    // The file watch of pane 1 and 2, run by Timer1 and Timer2 every minute.
    void Timer1Timer() { FileWatch(1); }
    void Timer2Timer() { FileWatch(2); }
    void ImageMouseDown(int pane, int x, int y, Qt::MouseButton button);
    void ImageDblClick(int pane);
    void FormActivate();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The panes keep their size; the file and folder lists take the room a larger window has.
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateControls();
    void ReadSettings();
    void SetActivePane(int pane);
    void SwitchClick(QCheckBox* box);
    void ApplySwitch(QCheckBox* box);
    void DrawPane(int pane);
    bool LoadPane(int pane, const std::string& path, bool fromWatch);
    void FileWatch(int pane);
    void RefreshZoom(int pane);
    void FillDrives();
    void FillDirectories();
    void FillFiles();
    void Tell(const std::string& problem, bool again);

    TIniFile iniFile;
    int activePane = 1;
    WatchedFile files[2];
    std::string directory;
    ZoomBounds zoomBounds[2];

    DiagramView* images[2] = {};
    QLabel* markers[2] = {};
    QCheckBox* offsetFilterBoxes[2] = {};
    QCheckBox* filterBoxes[2] = {};
    QCheckBox* korrekturBoxes[2] = {};
    QListWidget* fileListBox = nullptr;
    QComboBox* driveComboBox = nullptr;
    QListWidget* directoryListBox = nullptr;
    QPushButton* helpButton = nullptr;
    QPushButton* quitButton = nullptr;
    QFileSystemWatcher* folderWatch = nullptr;
    QTimer* timers[2] = {};
    TDiagramForm* zooms[2] = {};
    TFarbDlg* farbDlg = nullptr;
    TAboutDlg* aboutDlg = nullptr;
    QPointer<QMessageBox> problemBox;
    QString lastProblem;
};
