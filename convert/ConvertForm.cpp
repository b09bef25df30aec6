#include "convert/ConvertForm.h"

#include "widgets/AboutDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "mox/rtl/BoundedSetting.h"
#include "mox/rtl/CommandLine.h"
#include "mox/rtl/StationRecord.h"
#include "widgets/HelpWindow.h"

namespace {

const char* const Caption = "MOX_Convert V1.0b";

// The status icons: green tick (up to date), red cross (no .mox file), amber exclamation
// mark (.mox file older than the log).
QIcon StatusIcon(LogStatus status)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fill = status == stAllOk   ? QColor(0, 150, 60)
                        : status == stNoMox ? QColor(200, 30, 30)
                                            : QColor(230, 150, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (status == stAllOk) {
        p.drawPolyline(QPolygonF({QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5)}));
    } else if (status == stNoMox) {
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
    } else {
        p.drawLine(QPointF(8, 3.5), QPointF(8, 9));
        p.drawPoint(QPointF(8, 12.2));
    }
    return QIcon(pixmap);
}

// The help button's glyph: a white question mark on blue.
QIcon HelpIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 190));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, "?");
    return QIcon(pixmap);
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TConvertForm::TConvertForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      IniFile(MoxIniPath())
{
    setObjectName("ConvertForm");
    setWindowTitle(Caption);
    setFixedSize(681, 538);
    for (LogStatus s : {stAllOk, stNoMox, stMoxTooOld}) statusIcons[s] = StatusIcon(s);
    BuildControls();
    AboutBox = new TAboutDlg(this, "Über MOX_Convert",
                             QString("<p><b>%1</b></p><p>Version %2</p><p>Wandelt die Tagesmitschnitte einer "
                                     "MOX-Station (jjjjmmtt.txt) in MOX-Tagesdateien (.mox) mit den Stationsangaben "
                                     "um.</p><p>Ohne Fenster: <code>MOX_Convert auto &lt;Ordner&gt;</code></p>")
                                 .arg(Caption, MoxVersion()),
                             statusIcons[stAllOk].pixmap(48, 48));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ReadHeaderSettings(IniFile, MOX_Diagram);
    QString notes;
    for (const std::string& n : TakeSettingNotes())
        notes += (notes.isEmpty() ? "" : "\n\n") + QString::fromStdString(n);
    if (!notes.isEmpty()) QTimer::singleShot(0, this, [this, notes] { ShowMessage(notes); });
    // The station's logs come first, shown as that folder of the tree.
    ShowFolder(QString::fromStdString(StartFolder(IniFile, QDir::currentPath().toStdString())));
}

TConvertForm::~TConvertForm() { StopRun(); }

void TConvertForm::BuildControls()
{
    Label5 = new QLabel("MOX-logfiles:", this);
    Label5->setObjectName("Label5");
    QFont bold = Label5->font();
    bold.setBold(true);
    Label5->setFont(bold);
    Label5->move(72, 8);

    folders = new QFileSystemModel(this);
    folders->setOption(QFileSystemModel::DontWatchForChanges);
    // Hidden folders too: the station keeps its data below ~/.local/share by default.
    folders->setFilter(QDir::AllDirs | QDir::Drives | QDir::Hidden | QDir::NoDotAndDotDot);
    folders->setRootPath("");
    ShellTreeView = new QTreeView(this);
    ShellTreeView->setObjectName("ShellTreeView");
    ShellTreeView->setModel(folders);
    for (int c = 1; c < folders->columnCount(); ++c) ShellTreeView->hideColumn(c);
    ShellTreeView->header()->hide();
    ShellTreeView->setGeometry(8, 24, 169, 505);
    connect(ShellTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { ShellTreeViewChange(current); });
    // Folders are read and sorted in the background, which moves the chosen folder down the
    // tree; it is kept in view until the observer takes the tree over.
    const auto reveal = [this] {
        if (revealFolder) ShellTreeView->scrollTo(ShellTreeView->currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    connect(folders, &QFileSystemModel::directoryLoaded, this, reveal);
    connect(folders, &QAbstractItemModel::layoutChanged, this, reveal);
    ShellTreeView->installEventFilter(this);
    ShellTreeView->viewport()->installEventFilter(this);
    ShellTreeView->verticalScrollBar()->installEventFilter(this);

    ListView = new QListWidget(this);
    ListView->setObjectName("ListView");
    ListView->setViewMode(QListView::ListMode);
    ListView->setFlow(QListView::LeftToRight);
    ListView->setWrapping(true);
    ListView->setResizeMode(QListView::Adjust);
    ListView->setIconSize(QSize(16, 16));
    ListView->setUniformItemSizes(true);
    ListView->setGeometry(184, 8, 361, 521);

    ConvertButton = new QPushButton("Convert", this);
    ConvertButton->setObjectName("ConvertButton");
    ConvertButton->setToolTip("Generate MOX-files");
    ConvertButton->setGeometry(560, 8, 105, 41);
    ConvertButton->setEnabled(false);
    connect(ConvertButton, &QPushButton::clicked, this, [this] { StartRun(stNoMox, ConvertButton); });

    UpdateButton = new QPushButton("Update", this);
    UpdateButton->setObjectName("UpdateButton");
    UpdateButton->setToolTip("Update MOX-files");
    UpdateButton->setGeometry(560, 56, 105, 41);
    UpdateButton->setEnabled(false);
    connect(UpdateButton, &QPushButton::clicked, this, [this] { StartRun(stMoxTooOld, UpdateButton); });

    const struct {
        QToolButton*& button;
        QLabel*& label;
        const char* buttonName;
        const char* labelName;
        LogStatus status;
        int y;
    } legend[] = {
        {SpeedButton1, Label4, "SpeedButton1", "Label4", stAllOk, 104},
        {SpeedButton2, Label2, "SpeedButton2", "Label2", stNoMox, 136},
        {SpeedButton3, Label3, "SpeedButton3", "Label3", stMoxTooOld, 168},
    };
    for (const auto& l : legend) {
        l.button = new QToolButton(this);
        l.button->setObjectName(l.buttonName);
        l.button->setAutoRaise(true);
        l.button->setIcon(statusIcons[l.status]);
        l.button->setGeometry(560, l.y, 23, 22);
        connect(l.button, &QToolButton::clicked, this, [this] { AboutBox->open(); });
        l.label = new QLabel(StatusText(l.status), this);
        l.label->setObjectName(l.labelName);
        l.label->move(584, l.y + 8);
        l.label->adjustSize();
    }

    HelpButton = new QPushButton(HelpIcon(), "Help", this);
    HelpButton->setObjectName("HelpButton");
    HelpButton->setToolTip("Hilfedatei anzeigen");
    HelpButton->setGeometry(560, 200, 105, 25);
    connect(HelpButton, &QPushButton::clicked, this, [this] { ShowHelpTopic(this, THelpTopic::ConvertProgramm); });
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [this] { ShowHelpTopic(this, THelpTopic::ConvertFenster); });

    Label1 = new QLabel("Converted files:", this);
    Label1->setObjectName("Label1");
    Label1->move(552, 232);

    Memo = new QPlainTextEdit(this);
    Memo->setObjectName("Memo");
    Memo->setReadOnly(true);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo->setGeometry(552, 248, 121, 225);

    // Shown only while a run goes on, between the memo and the exit button.
    Progress = new QProgressBar(this);
    Progress->setObjectName("Progress");
    Progress->setTextVisible(false);
    Progress->setGeometry(552, 476, 121, 9);
    Progress->hide();

    QuitButton = new QPushButton("Exit program", this);
    QuitButton->setObjectName("QuitButton");
    QuitButton->setGeometry(560, 488, 105, 41);
    connect(QuitButton, &QPushButton::clicked, this, &QWidget::close);
}

void TConvertForm::ShowFolder(const QString& path)
{
    const QModelIndex index = folders->index(path);
    if (!index.isValid()) {
        ShowMessage(QString("Der Ordner %1 lässt sich nicht anzeigen.").arg(path));
        return;
    }
    revealFolder = true;
    ShellTreeView->setCurrentIndex(index);
    ShellTreeView->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

bool TConvertForm::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress: revealFolder = false; break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

void TConvertForm::ShellTreeViewChange(const QModelIndex& current)
{
    if (!current.isValid()) return;
    folder = AsFolderPath(folders->filePath(current).toStdString());
    Scan();
}

void TConvertForm::Scan()
{
    FolderScan scan = ScanFolder(folder);
    items = std::move(scan.Items);
    FillList();
    // Only a run disables its button again.
    if (scan.AnyMissing) ConvertButton->setEnabled(true);
    if (scan.AnyOutdated) UpdateButton->setEnabled(true);
    if (!scan.Error.empty()) ShowMessage(Text(scan.Error));
    // Each left-out log is told once, not again after every run.
    QString skipped;
    for (const std::string& s : scan.Skipped)
        if (toldSkipped.insert(folder + s).second) skipped += "\n" + Text(s);
    if (!skipped.isEmpty()) ShowMessage("Logs desselben Tages:" + skipped);
}

void TConvertForm::FillList()
{
    ListView->clear();
    for (const LogItem& log : items) {
        auto* item = new QListWidgetItem(statusIcons[log.Status], Text(log.Caption), ListView);
        item->setData(Qt::UserRole, int(log.Status));
        QString tip = StatusText(log.Status);
        if (const auto e = lastErrors.find(log.Caption); e != lastErrors.end()) tip += "\n" + Text(e->second);
        item->setToolTip(tip);
    }
    // All items as wide as the widest name: the list lays out every item in the size of the
    // first, which cuts wider names (".TXT", wider digits) short.
    QSize widest;
    for (int row = 0; row < ListView->count(); ++row) {
        QStyleOptionViewItem option;
        option.initFrom(ListView);
        option.decorationSize = ListView->iconSize();
        option.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        widest = widest.expandedTo(ListView->itemDelegate()->sizeHint(option, ListView->model()->index(row, 0)));
    }
    for (int row = 0; row < ListView->count(); ++row) ListView->item(row)->setSizeHint(widest);
}

void TConvertForm::StartRun(LogStatus which, QPushButton* pressed)
{
    if (run) return;
    Memo->clear();
    lastErrors.clear();
    busy.emplace();
    runButton = pressed;
    QPushButton* other = pressed == ConvertButton ? UpdateButton : ConvertButton;
    otherButtonWasEnabled = other->isEnabled();
    // Nothing that would change the folder or start a second run while this one goes on.
    ConvertButton->setEnabled(false);
    UpdateButton->setEnabled(false);
    ShellTreeView->setEnabled(false);
    // A station's folder in a network's archive carries the station's own record.
    ReadHeaderSettings(TIniFile(RecordSettingsFor(folder, IniFile.FileName())), MOX_Diagram);
    run = std::make_unique<ConvertRun>(MOX_Diagram, folder, items, which);
    Progress->setRange(0, std::max(run->Total(), 1));
    Progress->setValue(0);
    Progress->show();
    // One log per turn of the event loop, so the window shows each step and stays usable.
    QTimer::singleShot(0, this, &TConvertForm::RunStep);
}

void TConvertForm::RunStep()
{
    if (!run) return;
    // The days are converted on other threads; what is ready is shown here, a few tens of
    // milliseconds at a time, so that the window stays responsive.
    QElapsedTimer busy;
    busy.start();
    while (!run->Done() && run->Ready() && busy.elapsed() < 50) {
        const std::size_t index = run->Next();
        const bool ok = run->Step();
        const LogItem& log = items[index];
        if (QListWidgetItem* item = ListView->item(int(index))) {
            item->setIcon(statusIcons[log.Status]);
            item->setData(Qt::UserRole, int(log.Status));
            item->setToolTip(ok ? QString(StatusText(log.Status))
                                : QString(StatusText(log.Status)) + "\n" + Text(log.Error));
            ListView->scrollToItem(item);
        }
        if (ok) Memo->appendPlainText(Text(log.Caption));
        else lastErrors[log.Caption] = log.Error;
    }
    if (run->Done()) {
        FinishRun();
        return;
    }
    Progress->setValue(run->Finished());
    QTimer::singleShot(run->Ready() ? 0 : 20, this, &TConvertForm::RunStep);
}

void TConvertForm::FinishRun()
{
    const std::vector<std::string> failures = run->Failures();
    const int total = run->Total();
    run.reset();
    QPushButton* other = runButton == ConvertButton ? UpdateButton : ConvertButton;
    other->setEnabled(otherButtonWasEnabled);
    runButton->setEnabled(false);
    runButton = nullptr;
    ShellTreeView->setEnabled(true);
    Progress->hide();
    Scan();
    busy.reset();
    if (!failures.empty()) {
        QString text = QString("%1 von %2 Mitschnitten ließen sich nicht umwandeln:\n").arg(failures.size()).arg(total);
        for (const std::string& f : failures) text += "\n" + Text(f);
        ShowMessage(text);
    }
}

void TConvertForm::StopRun()
{
    if (!run) return;
    run.reset();
    busy.reset();
}

void TConvertForm::closeEvent(QCloseEvent* event)
{
    // Each log is converted whole or not at all, so stopping between two loses nothing.
    StopRun();
    event->accept();
}

void TConvertForm::ShowMessage(const QString& text)
{
    if (!messageBox) {
        messageBox = new QMessageBox(QMessageBox::Warning, Caption, QString(), QMessageBox::Ok, this);
        messageBox->setObjectName("MessageBox");
    }
    messageBox->setText(text);
    messageBox->open();
}
