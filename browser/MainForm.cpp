#include "browser/MainForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QShortcut>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "browser/DiagramForm.h"
#include "browser/FarbDlg.h"
#include "mox/Bitmaps.h"
#include "mox/rtl/CommandLine.h"
#include "widgets/AboutDlg.h"
#include "widgets/DiagramView.h"
#include "widgets/HelpWindow.h"

namespace {

constexpr int kWatchIntervalMs = 60000;

// The logo every magnetogram carries, twice its size.
QPixmap LogoPicture()
{
    std::unique_ptr<TBitmap> logo(MakeLogoBitmap());
    if (!logo || logo->Width() <= 0) return {};
    const QImage view(reinterpret_cast<const uchar*>(logo->ScanLine(0)), logo->Width(), logo->Height(),
                      logo->BytesPerLine(), QImage::Format_RGB32);
    return QPixmap::fromImage(view.scaled(view.size() * 2));
}

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// The marker beside the active pane: an arrow pointing at it.
QPixmap MarkerGlyph()
{
    QPixmap p(23, 22);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(3, 11);
    arrow.lineTo(13, 3);
    arrow.lineTo(13, 8);
    arrow.lineTo(20, 8);
    arrow.lineTo(20, 14);
    arrow.lineTo(13, 14);
    arrow.lineTo(13, 19);
    arrow.closeSubpath();
    painter.fillPath(arrow, QColor(200, 0, 0));
    painter.setPen(QColor(96, 0, 0));
    painter.drawPath(arrow);
    return p;
}

// A small magnetogram as the program's icon.
QIcon ProgramIcon()
{
    QPixmap p(32, 32);
    p.fill(Qt::white);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(1, 1, 29, 29);
    QPainterPath curve;
    const int ys[] = {18, 16, 17, 13, 15, 8, 22, 14, 16, 15};
    curve.moveTo(3, ys[0]);
    for (int i = 1; i < 10; ++i) curve.lineTo(3 + i * 3, ys[i]);
    painter.setPen(QPen(QColor(0, 0, 128), 2));
    painter.drawPath(curve);
    return QIcon(p);
}

QLabel* SwitchLabel(const QString& text, int x, int y, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setPixelSize(16);
    f.setBold(true);
    label->setFont(f);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(x, y, 16, 16);
    return label;
}

// Arrow and page keys and typing a name move through the files; the file arrived at is loaded
// as a click would load it, so the highlighted file is always the one on show.
class FileList : public QListWidget {
public:
    using QListWidget::QListWidget;
    std::function<void()> onKeyMoved;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        const QListWidgetItem* before = currentItem();
        QListWidget::keyPressEvent(e);
        if (currentItem() != before && onKeyMoved) onKeyMoved();
    }
};

QCheckBox* SwitchBox(const char* name, const QString& hint, int x, int y, QWidget* parent)
{
    auto* box = new QCheckBox(parent);
    box->setObjectName(name);
    box->setToolTip(hint);
    box->setGeometry(x, y, 16, 16);
    return box;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      iniFile(MoxIniPath())
{
    setObjectName("MainForm");
    setWindowTitle(BrowserCaption);
    setWindowIcon(ProgramIcon());
    QApplication::setWindowIcon(windowIcon());
    resize(708, 508);
    setMinimumSize(708, 508);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    for (TMOX_Diagram* d : {&MOX_Diagram1, &MOX_Diagram2}) ApplyPaneDefaults(*d);
    CreateControls();
    for (int p = 1; p <= 2; ++p) {
        zooms[p - 1] = new TDiagramForm(p, this);
        Diagram(p).MOX_Image = &images[p - 1]->Image;
    }
    farbDlg = new TFarbDlg(MOX_Diagram1, MOX_Diagram2, iniFile, this);
    farbDlg->OnColorsChanged = [this] {
        DrawPane(1);
        DrawPane(2);
    };
    farbDlg->OnHelp = [this] { ShowHelpTopic(this, THelpTopic::BrowserFarbeinstellungen); };
    aboutDlg = new TAboutDlg(
        this, BrowserCaption,
        QString("<p><b>MOX_Browser</b> %1 zeigt zwei MOX-Tagesdateien nebeneinander.</p>"
                "<p>Ein Klick auf eine *.mox-Datei lädt sie in das markierte Feld; ein Klick auf ein Feld markiert "
                "es. O, F und C schalten Offsetfilter, Rauschfilter und Korrekturdatei ihres Feldes. Jede Minute "
                "sieht jedes Feld nach, ob sich seine Datei geändert hat; so bleibt der Tag aktuell, den eine "
                "Station gerade schreibt.</p>"
                "<p>Ein Doppelklick öffnet ein Feld in einem großen Fenster; ein Rechtsklick verschiebt die Kurven "
                "so, dass sie an der angeklickten Höhe beginnen.</p>"
                "<p>Teil der MOX-Stationssoftware für Erdmagnetfeld-Messungen.</p>")
            .arg(MoxVersion()),
        LogoPicture());

    ReadSettings();
    SetActivePane(1);
}

TMainForm::~TMainForm()
{
    BrowserSettings s;
    s.Directory = directory;
    for (int p = 0; p < 2; ++p) {
        s.Filter[p] = filterBoxes[p]->isChecked();
        s.OffsetFilter[p] = offsetFilterBoxes[p]->isChecked();
        s.Korrektur[p] = korrekturBoxes[p]->isChecked();
        s.Zoom[p] = zooms[p]->Placed() ? zooms[p]->Bounds() : zoomBounds[p];
    }
    WriteBrowserState(iniFile, s);
    iniFile.UpdateFile();
    // The windows that work on the diagrams go before the diagrams do.
    delete zooms[0];
    delete zooms[1];
    delete farbDlg;
}

void TMainForm::CreateControls()
{
    for (int p = 1; p <= 2; ++p) {
        auto* image = new DiagramView(this);
        image->setCursor(Qt::CrossCursor);
        image->setObjectName(QString("Image%1").arg(p));
        image->setGeometry(0, p == 1 ? 0 : 249, 451, 250);
        image->OnResize = [this, p] { DrawPane(p); };
        image->OnMouseDown = [this, p](int x, int y, Qt::MouseButton b) { ImageMouseDown(p, x, y, b); };
        image->OnDblClick = [this, p](int, int) { ImageDblClick(p); };
        images[p - 1] = image;

        auto* marker = new QLabel(this);
        marker->setObjectName(QString("SpeedButton%1").arg(p));
        marker->setPixmap(MarkerGlyph());
        marker->setGeometry(448, p == 1 ? 112 : 368, 23, 22);
        // A marker only: clicks go through to the window.
        marker->setAttribute(Qt::WA_TransparentForMouseEvents);
        marker->raise();
        markers[p - 1] = marker;
    }

    const int top[2] = {0, 248};
    const char* names[2][3] = {{"OffsetFilterCheckBox1", "FilterCheckBox1", "KorrekturCheckBox1"},
                               {"OffsetFilterCheckBox2", "FilterCheckBox2", "KorrekturCheckBox2"}};
    for (int p = 0; p < 2; ++p) {
        const int y = top[p];
        SwitchLabel("O", 456, y, this)->setObjectName(p == 0 ? "Label5" : "Label6");
        offsetFilterBoxes[p] = SwitchBox(names[p][0], "Offsetfilter verwenden?", 456, y + 16, this);
        SwitchLabel("F", 456, y + 32, this)->setObjectName(p == 0 ? "Label1" : "Label4");
        filterBoxes[p] = SwitchBox(names[p][1], "Activate noise filter?", 456, y + 48, this);
        SwitchLabel("C", 456, y + 64, this)->setObjectName(p == 0 ? "Label2" : "Label3");
        korrekturBoxes[p] = SwitchBox(names[p][2], "Use correction file?", 456, y + 80, this);
        // Nothing is loaded yet, so there is no correction file to use.
        korrekturBoxes[p]->setEnabled(false);
        for (QCheckBox* box : {offsetFilterBoxes[p], filterBoxes[p], korrekturBoxes[p]})
            connect(box, &QCheckBox::clicked, this, [this, box] { SwitchClick(box); });
    }

    auto* files = new FileList(this);
    files->onKeyMoved = [this] { FileListBoxClick(); };
    fileListBox = files;
    fileListBox->setObjectName("FileListBox");
    fileListBox->setGeometry(472, 0, 104, 497);
    connect(fileListBox, &QListWidget::itemClicked, this, [this] { FileListBoxClick(); });
    connect(fileListBox, &QListWidget::itemActivated, this, [this] { FileListBoxClick(); });

    driveComboBox = new QComboBox(this);
    driveComboBox->setObjectName("DriveComboBox");
    driveComboBox->setGeometry(576, 0, 129, 22);
    connect(driveComboBox, &QComboBox::activated, this,
            [this](int index) { SetDirectory(S(driveComboBox->itemData(index).toString())); });

    directoryListBox = new QListWidget(this);
    directoryListBox->setObjectName("DirectoryListBox");
    directoryListBox->setGeometry(576, 24, 129, 441);
    directoryListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(directoryListBox, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { SetDirectory(S(item->data(Qt::UserRole).toString())); });

    auto* help = new QPushButton("Help...", this);
    helpButton = help;
    help->setObjectName("HelpButton");
    help->setGeometry(583, 472, 58, 25);
    connect(help, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, THelpTopic::BrowserProgramm); });
    new QShortcut(QKeySequence::HelpContents, this, [this] { ShowHelpTopic(this, THelpTopic::BrowserProgramm); });
    auto* quit = new QPushButton("Exit", this);
    quitButton = quit;
    quit->setObjectName("QuitButton");
    quit->setGeometry(648, 472, 57, 25);
    connect(quit, &QPushButton::clicked, this, &QWidget::close);

    // The list follows files appearing and going while the browser is open.
    folderWatch = new QFileSystemWatcher(this);
    connect(folderWatch, &QFileSystemWatcher::directoryChanged, this, [this] {
        FillFiles();
        FillDirectories();
    });

    for (int p = 1; p <= 2; ++p) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString("Timer%1").arg(p));
        timer->setInterval(kWatchIntervalMs);
        connect(timer, &QTimer::timeout, this, [this, p] { FileWatch(p); });
        timer->start();
        timers[p - 1] = timer;
    }
    FillDrives();
}

void TMainForm::ReadSettings()
{
    const BrowserSettings s = ReadBrowserSettings(iniFile);
    SetDirectory(s.Directory);
    for (int p = 0; p < 2; ++p) {
        offsetFilterBoxes[p]->setChecked(s.OffsetFilter[p]);
        filterBoxes[p]->setChecked(s.Filter[p]);
        korrekturBoxes[p]->setChecked(s.Korrektur[p]);
        for (QCheckBox* box : {offsetFilterBoxes[p], filterBoxes[p], korrekturBoxes[p]}) ApplySwitch(box);
        zoomBounds[p] = s.Zoom[p];
    }
    for (TMOX_Diagram* d : {&MOX_Diagram1, &MOX_Diagram2}) ApplyStationDiagramSettings(iniFile, *d);
    for (int c = 1; c <= 4; ++c) {
        MOX_Diagram1.set_Color(c, s.Colors[c - 1]);
        MOX_Diagram2.set_Color(c, s.Colors[c - 1]);
    }
    MOX_Diagram1.set_bkColor(s.BkColor);
    MOX_Diagram2.set_bkColor(s.BkColor);
}

void TMainForm::SetActivePane(int pane)
{
    activePane = pane;
    markers[0]->setVisible(pane == 1);
    markers[1]->setVisible(pane == 2);
}

void TMainForm::ApplySwitch(QCheckBox* box)
{
    const int p = (box == offsetFilterBoxes[1] || box == filterBoxes[1] || box == korrekturBoxes[1]) ? 2 : 1;
    TMOX_Diagram& d = Diagram(p);
    if (box == offsetFilterBoxes[p - 1]) d.set_is_offsetfilter(box->isChecked());
    else if (box == filterBoxes[p - 1]) d.set_is_noisefilter(box->isChecked());
    else d.set_is_Korrektur(box->isChecked());
}

void TMainForm::SwitchClick(QCheckBox* box)
{
    const int p = (box == offsetFilterBoxes[1] || box == filterBoxes[1] || box == korrekturBoxes[1]) ? 2 : 1;
    SetActivePane(p);
    ApplySwitch(box);
    // The filters work while loading: the shown file is read again.
    if (const std::string path = ReloadPath(Diagram(p)); !path.empty()) LoadIntoPane(p, path);
    fileListBox->setFocus();
}

void TMainForm::DrawPane(int pane)
{
    DiagramView* image = images[pane - 1];
    TMOX_Diagram& d = Diagram(pane);
    d.MOX_Image = &image->Image;
    d.set_is_Autolegende(false);
    d.set_is_Legendedatum(false);
    image->Image.SetClientSize(image->width(), image->height());
    d.ShowMagnetogramm();
    image->update();
}

void TMainForm::LoadIntoPane(int pane, const std::string& path) { LoadPane(pane, path, false); }

bool TMainForm::LoadPane(int pane, const std::string& path, bool fromWatch)
{
    const PaneLoad r = LoadDayFile(Diagram(pane), path);
    korrekturBoxes[pane - 1]->setEnabled(r.KorrekturAvailable);
    DrawPane(pane);
    RefreshZoom(pane);
    // A file clicked again is told again; the watch tells a lasting problem once.
    if (!r.Error.empty()) Tell(r.Error, !fromWatch);
    else if (!r.Warning.empty()) Tell(r.Warning, !fromWatch);
    return r.Error.empty();
}

void TMainForm::RefreshZoom(int pane)
{
    TDiagramForm* zoom = zooms[pane - 1];
    if (zoom->isVisible() && zoom->Diagram()) zoom->FormActivate();
}

void TMainForm::FileListBoxClick()
{
    QListWidgetItem* item = fileListBox->currentItem();
    if (!item || !item->isSelected()) return;
    const std::string path = S(item->data(Qt::UserRole).toString());
    const int p = activePane;
    files[p - 1].Set(path, StampOf(path));
    LoadIntoPane(p, path);
}

void TMainForm::FileWatch(int pane)
{
    WatchedFile& file = files[pane - 1];
    const std::optional<FileStamp> due = file.Due();
    if (!due) return;
    // Each change is loaded once, whether or not it can be read: a file that stays broken is
    // told once, and only a reload that brings something new takes the next file click.
    file.Loaded(*due);
    if (LoadPane(pane, file.Path(), true)) SetActivePane(pane);
}

void TMainForm::ImageMouseDown(int pane, int, int y, Qt::MouseButton button)
{
    SetActivePane(pane);
    TMOX_Diagram& d = Diagram(pane);
    if (button != Qt::RightButton || d.is_empty()) return;
    // The rows' field values must be those of this pane's drawing, whatever was drawn last.
    DrawPane(pane);
    if (!SetOffsetsAtRow(d, y)) return;
    DrawPane(pane);
    RefreshZoom(pane);
}

void TMainForm::ImageDblClick(int pane)
{
    TMOX_Diagram& d = Diagram(pane);
    if (d.is_empty()) return;
    TDiagramForm* zoom = zooms[pane - 1];
    zoom->SetDiagram(&d);
    zoom->show();
    zoom->raise();
    zoom->activateWindow();
    d.MOX_Image = &images[pane - 1]->Image;
    d.set_is_Autolegende(false);
    d.set_is_Legendedatum(false);
}

void TMainForm::FormActivate()
{
    for (int p = 1; p <= 2; ++p) {
        Diagram(p).set_is_Korrektur(korrekturBoxes[p - 1]->isChecked());
        DrawPane(p);
    }
}

bool TMainForm::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        for (int p = 0; p < 2; ++p) zooms[p]->PlaceOnce(zoomBounds[p]);
        FormActivate();
    }
    return QWidget::event(event);
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!directoryListBox) return;
    const int dw = std::max(0, width() - 708), dh = std::max(0, height() - 508);
    fileListBox->setGeometry(472, 0, 104, 497 + dh);
    driveComboBox->setGeometry(576, 0, 129 + dw, 22);
    directoryListBox->setGeometry(576, 24, 129 + dw, 441 + dh);
    helpButton->move(583 + dw, 472 + dh);
    quitButton->move(648 + dw, 472 + dh);
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    for (int p = 0; p < 2; ++p) zooms[p]->PlaceOnce(zoomBounds[p]);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Exit ends the program, also while a zoom window, the colour setup or the help is open.
    for (QWidget* child : findChildren<QWidget*>())
        if (child->isWindow() && child->isVisible()) child->close();
    event->accept();
}

void TMainForm::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction("Color setup...", this, [this] {
        farbDlg->show();
        farbDlg->raise();
        farbDlg->activateWindow();
    });
    menu.addAction("About...", this, [this] { aboutDlg->exec(); });
    menu.exec(event->globalPos());
}

void TMainForm::SetDirectory(const std::string& path)
{
    const QFileInfo info(Q(path));
    if (!info.isDir()) return;
    directory = S(info.canonicalFilePath());
    if (!folderWatch->directories().isEmpty()) folderWatch->removePaths(folderWatch->directories());
    folderWatch->addPath(Q(directory));
    // The drive is the longest volume root the folder lies in.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < driveComboBox->count(); ++i) {
        const QString root = driveComboBox->itemData(i).toString();
        const bool inside = Q(directory) == root || Q(directory).startsWith(root.endsWith('/') ? root : root + '/');
        if (inside && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    driveComboBox->setCurrentIndex(best);
    fileListBox->clear();
    FillDirectories();
    FillFiles();
}

void TMainForm::FillDrives()
{
    QStringList roots = {"/"};
    if (const QString home = QDir::homePath(); QFileInfo(home).isDir()) roots << QDir(home).canonicalPath();
    // Removable media and further disks mounted from devices; system mounts stay out.
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = v.rootPath();
        if (!v.isValid() || !v.isReady() || !v.device().startsWith("/dev/")) continue;
        if (root == "/boot" || root.startsWith("/boot/") || root.startsWith("/snap/")) continue;
        roots << root;
    }
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    driveComboBox->clear();
    for (const QString& root : roots) driveComboBox->addItem(root, root);
}

void TMainForm::FillDirectories()
{
    directoryListBox->clear();
    const QString root = driveComboBox->currentIndex() >= 0 ? driveComboBox->currentData().toString() : "/";
    // The way down from the drive's root to the folder, then the folder's own subfolders.
    QStringList chain;
    for (QDir d(Q(directory));;) {
        chain.prepend(d.absolutePath());
        if (d.absolutePath() == root || d.isRoot() || !d.cdUp()) break;
    }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int level = 0;
    for (const QString& path : chain) {
        const QString name = level == 0 ? path : QFileInfo(path).fileName();
        auto* item = new QListWidgetItem(open, QString(level * 2, ' ') + name, directoryListBox);
        item->setData(Qt::UserRole, path);
        ++level;
    }
    directoryListBox->setCurrentRow(directoryListBox->count() - 1);
    const QDir here(Q(directory));
    for (const QString& sub : here.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closed, QString(level * 2, ' ') + sub, directoryListBox);
        item->setData(Qt::UserRole, here.absoluteFilePath(sub));
    }
}

void TMainForm::FillFiles()
{
    // Brought up to date in place, not rebuilt, so that the highlighted file and the scroll
    // position stay where the observer left them while the station adds and renames files.
    const QDir here(Q(directory));
    const QStringList names = here.entryList({"*.mox"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    const QSet<QString> present(names.begin(), names.end());
    for (int row = fileListBox->count() - 1; row >= 0; --row)
        if (!present.contains(fileListBox->item(row)->text())) delete fileListBox->takeItem(row);
    // What is left keeps the listing's order, so the new names slot in where they are missing.
    for (int row = 0; row < names.size(); ++row) {
        if (row < fileListBox->count() && fileListBox->item(row)->text() == names[row]) continue;
        auto* item = new QListWidgetItem(names[row]);
        item->setData(Qt::UserRole, here.absoluteFilePath(names[row]));
        fileListBox->insertItem(row, item);
    }
    // Names equal but for case may come in another order; the surplus is at the end.
    while (fileListBox->count() > names.size()) delete fileListBox->takeItem(fileListBox->count() - 1);
}

void TMainForm::Tell(const std::string& problem, bool again)
{
    const QString text = Q(problem);
    if (!again && text == lastProblem) return;
    lastProblem = text;
    std::fprintf(stderr, "MOX_Browser: %s\n", problem.c_str());
    // Not modal: the other pane goes on watching its file while the message waits.
    if (!problemBox) {
        problemBox = new QMessageBox(QMessageBox::Warning, "MOX_Browser", text, QMessageBox::Ok, this);
        problemBox->setAttribute(Qt::WA_DeleteOnClose);
        problemBox->setModal(false);
    }
    problemBox->setText(text);
    problemBox->show();
}
