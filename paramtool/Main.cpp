#include "paramtool/Main.h"

#include "mox/rtl/CommandLine.h"
#include "paramtool/FieldMark.h"
#include "widgets/AboutDlg.h"
#include "widgets/ComComboBox.h"
#include "widgets/HelpWindow.h"
#include "widgets/WaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <optional>

using namespace moxparam;

namespace {

const char* const HelpTopicProperty = "helpTopic";
const char* const FileFilter = "MOX Parameterdateien [*.moi] (*.MOI *.moi);;alle Dateien [*.*] (*)";
const char* const ResetCaption = "täglicher Reset um                 Uhr";

QSpinBox* SpinField(int low, int high, bool typing)
{
    auto* spin = new QSpinBox;
    fieldmark::SetOffered(spin, low, high);
    if (!typing) spin->findChild<QLineEdit*>()->setReadOnly(true);  // arrows only
    return spin;
}

QComboBox* List(const QStringList& entries)
{
    auto* list = new QComboBox;
    list->addItems(entries);
    return list;
}

}  // namespace

TMain::TMain(QWidget* parent) : QMainWindow(parent), protocol_(port_)
{
    setObjectName("Main");
    setWindowTitle(MoxIniTitle);
    ShowMessage = [this](const QString& text, const QString& caption, TIcon icon) {
        QMessageBox box(icon == TIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text,
                        QMessageBox::Ok, this);
        box.exec();
    };
    AskLoadFileName = [this] { return QFileDialog::getOpenFileName(this, QString(), QString(), FileFilter); };
    AskSaveFileName = [this] {
        QFileDialog dialog(this, "MOX Parametersatz speichern ", QString(), FileFilter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("moi");
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    protocol_.OnProgress = [this](int value) { SetGauge(value); };
    BuildForm();
    BuildMenus();
    ConnectFieldEdits();
    AboutDlg = new TAboutDlg(
        this, MoxIniTitle,
        QString("<p><b>MOX_Ini</b> %1 stellt das MOX-Magnetometer ein: Datum und Uhrzeit der Geräteuhr und den "
                "Parametersatz mit Ausgabemodus, Datenintervall, Analogausgängen, K-Grenzen, Alarmschwelle und "
                "Sensorkalibrierung.</p>"
                "<p>Parametersätze können vom Gerät gelesen, zum Gerät gesendet und als Dateien (*.moi) gespeichert "
                "werden.</p>"
                "<p>MOX ist eine kleine geomagnetische Station: das Magnetometer sendet seine Messwerte über die "
                "RS-232-Schnittstelle an das Stationsprogramm MOX_View, das daraus Tagesmagnetogramme und den "
                "K-Index erstellt.</p>")
            .arg(MoxVersion()));
    statusBar();
}

TMain::~TMain() = default;

void TMain::BuildForm()
{
    auto withHint = [](QWidget* w, const char* name, const QString& hint, std::optional<THelpTopic> topic) {
        w->setObjectName(name);
        w->setStatusTip(hint);
        if (topic) w->setProperty(HelpTopicProperty, int(*topic));
        return w;
    };

    // Allgemein
    dayly_reset_CheckBox = new QCheckBox(ResetCaption);
    withHint(dayly_reset_CheckBox, "dayly_reset_CheckBox", "Sollen die Relativwerte 1x täglich auf 0 gesetzt werden?",
             THelpTopic::IniTaeglicherReset);
    // The hour field sits in the blank part of the box's caption.
    Reset_Time_Edit = SpinField(0, 23, false);
    Reset_Time_Edit->setParent(dayly_reset_CheckBox);
    withHint(Reset_Time_Edit, "Reset_Time_Edit", "Zeitpunkt des Resets (volle Stunde)", THelpTopic::IniResetZeitpunkt);
    {
        QStyleOptionButton option;
        option.initFrom(dayly_reset_CheckBox);
        const QRect text =
            dayly_reset_CheckBox->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, dayly_reset_CheckBox);
        const int left = text.left() + dayly_reset_CheckBox->fontMetrics().horizontalAdvance("täglicher Reset um ");
        const int width = dayly_reset_CheckBox->fontMetrics().horizontalAdvance("                ");
        const QSize hint = Reset_Time_Edit->sizeHint();
        Reset_Time_Edit->setGeometry(left, 0, std::max(width, hint.width()), hint.height());
        dayly_reset_CheckBox->setMinimumHeight(hint.height());
        dayly_reset_CheckBox->setMinimumWidth(left + std::max(width, hint.width()) +
                                              dayly_reset_CheckBox->fontMetrics().horizontalAdvance(" Uhr") + 8);
    }
    connect(dayly_reset_CheckBox, &QCheckBox::clicked, this, &TMain::dayly_reset_CheckBoxClick);
    dual_sensor_CheckBox = new QCheckBox("2. Sensor angeschlossen?");
    withHint(dual_sensor_CheckBox, "dual_sensor_CheckBox", "Ist ein zweiter Sensor angeschlossen?",
             THelpTopic::IniZweiterSensor);
    display_light_CheckBox = new QCheckBox("Displaybeleuchtung ständig an?");
    withHint(display_light_CheckBox, "display_light_CheckBox", "Soll die Displaybeleuchtung ständig leuchten?",
             THelpTopic::IniDisplaybeleuchtung);
    digin_CheckBox = new QCheckBox("Digitaleingang aktivieren?");
    withHint(digin_CheckBox, "digin_CheckBox", "Soll der Digitaleingang abgefragt werden?",
             THelpTopic::IniDigitaleingang);
    print_date_time_CheckBox = new QCheckBox("Datum und Uhrzeit auf RS-232?");
    withHint(print_date_time_CheckBox, "print_date_time_CheckBox",
             "Sollen Datum und Uhrzeit vor die Messwerte auf der RS-232 gesetzt werden?",
             THelpTopic::IniDatumUhrzeitRs232);
    auto* allgemein = new QGroupBox("Allgemein");
    allgemein->setObjectName("Allgemein");
    auto* allgemeinLayout = new QVBoxLayout(allgemein);
    for (QWidget* w : std::initializer_list<QWidget*>{dayly_reset_CheckBox, dual_sensor_CheckBox,
                                                      display_light_CheckBox, digin_CheckBox, print_date_time_CheckBox})
        allgemeinLayout->addWidget(w);

    // Sensoren
    Sensor1_ComboBox = List({"X", "Y", "Z"});
    Sensor2_ComboBox = List({"X", "Y", "Z"});
    Korrektur1_Edit = SpinField(1, 255, false);
    Korrektur2_Edit = SpinField(1, 255, false);
    Offset1_Edit = new QLineEdit;
    Offset2_Edit = new QLineEdit;
    const auto* wholeNumber = new QRegularExpressionValidator(QRegularExpression("[+-]?[0-9]{0,10}"), this);
    for (int s = 1; s <= 2; ++s) {
        const QString n = QString::number(s);
        withHint(s == 1 ? Sensor1_ComboBox : Sensor2_ComboBox, s == 1 ? "Sensor1_ComboBox" : "Sensor2_ComboBox",
                 "Magnetfeldkomponente Sensor " + n, THelpTopic::IniSensoren);
        withHint(s == 1 ? Korrektur1_Edit : Korrektur2_Edit, s == 1 ? "Korrektur1_Edit" : "Korrektur2_Edit",
                 "Korrektur der Steilheit der Sensorkennlinie Sensor " + n, THelpTopic::IniSensoren);
        QLineEdit* offset = s == 1 ? Offset1_Edit : Offset2_Edit;
        withHint(offset, s == 1 ? "Offset1_Edit" : "Offset2_Edit", "Offset der Sensorkennlinie Sensor " + n,
                 THelpTopic::IniSensoren);
        offset->setValidator(wholeNumber);
    }
    auto* sensoren = new QGroupBox("Sensoren");
    sensoren->setObjectName("Sensoren");
    auto* sensorGrid = new QGridLayout(sensoren);
    sensorGrid->addWidget(new QLabel("1. Sensor:"), 0, 0);
    sensorGrid->addWidget(Sensor1_ComboBox, 0, 1);
    sensorGrid->addWidget(new QLabel("2. Sensor:"), 0, 2);
    sensorGrid->addWidget(Sensor2_ComboBox, 0, 3);
    sensorGrid->addWidget(new QLabel("Korrektur [%]:"), 1, 0);
    sensorGrid->addWidget(Korrektur1_Edit, 1, 1);
    sensorGrid->addWidget(new QLabel("Korrektur [%]:"), 1, 2);
    sensorGrid->addWidget(Korrektur2_Edit, 1, 3);
    sensorGrid->addWidget(new QLabel("Offset [nT]:"), 2, 0);
    sensorGrid->addWidget(Offset1_Edit, 2, 1);
    sensorGrid->addWidget(new QLabel("Offset [nT]:"), 2, 2);
    sensorGrid->addWidget(Offset2_Edit, 2, 3);

    // K-Index
    auto* kIndex = new QGroupBox("K-Index");
    kIndex->setObjectName("K-Index");
    auto* kGrid = new QGridLayout(kIndex);
    const auto* kText = new QRegularExpressionValidator(QRegularExpression("[+-]?[0-9]{0,3}"), this);
    for (int k = 0; k < KLimitCount; ++k) {
        const QString n = QString::number(k);
        // The validator limits typing to three digits; a wider value read from the device is
        // still shown whole (a length limit would cut it, and send it back cut).
        K_Edit[k] = new QLineEdit;
        K_Edit[k]->setValidator(kText);
        K_Edit[k]->setMaximumWidth(K_Edit[k]->fontMetrics().horizontalAdvance("00000") + 12);
        withHint(K_Edit[k], qPrintable("K" + n + "_Edit"), "Obergrenze für K" + n + " [nT]", THelpTopic::IniKGrenzen);
        kGrid->addWidget(new QLabel("K" + n + " <= "), k / 3, (k % 3) * 2, Qt::AlignRight);
        kGrid->addWidget(K_Edit[k], k / 3, (k % 3) * 2 + 1);
    }

    // Ausgabe
    data_interval_Edit = SpinField(1, 120, false);
    withHint(data_interval_Edit, "data_interval_Edit", "Abstand zwischen zwei Datenpaketen auf der RS-232 ",
             THelpTopic::IniDatenintervall);
    rs232_mode_ComboBox =
        List({"Absolutwert", "Relativwert", "Absolutwert + Relativwert", "Absolutwert + Relativwert + K-Wert"});
    withHint(rs232_mode_ComboBox, "rs232_mode_ComboBox", "Was soll MOX auf der RS-232 ausgeben?",
             THelpTopic::IniRs232Modus);
    Intervall_Analog1_Edit = SpinField(250, 2000, true);
    Intervall_Analog2_Edit = SpinField(250, 2000, true);
    for (int a = 1; a <= 2; ++a) {
        QSpinBox* spin = a == 1 ? Intervall_Analog1_Edit : Intervall_Analog2_Edit;
        spin->setSingleStep(10);
        spin->findChild<QLineEdit*>()->setMaxLength(4);
        withHint(spin, a == 1 ? "Intervall_Analog1_Edit" : "Intervall_Analog2_Edit",
                 QString("Messbereich des %1. Analogausgangs [nT]").arg(a), THelpTopic::IniAnalogIntervall);
    }
    Modus_Analog2_ComboBox = List({"K-Index", "Messwerte des 2. Sensors"});
    withHint(Modus_Analog2_ComboBox, "Modus_Analog2_ComboBox", "Was soll der 2. Analogausgang ausgeben?",
             THelpTopic::IniAnalogModus);
    Alarm_Edit = SpinField(1, 9, false);
    withHint(Alarm_Edit, "Alarm_Edit", "Ab welchem K-Index soll der Relaiskontakt schließen?", THelpTopic::IniAlarm);
    auto* ausgabe = new QGroupBox("Ausgabe");
    ausgabe->setObjectName("Ausgabe");
    auto* out = new QGridLayout(ausgabe);
    out->addWidget(new QLabel("Datenintervall [s]:"), 0, 0);
    out->addWidget(data_interval_Edit, 0, 1);
    out->addWidget(new QLabel("RS-232 Modus:"), 1, 0, 1, 2);
    out->addWidget(rs232_mode_ComboBox, 2, 0, 1, 2);
    out->addWidget(new QLabel("Intervall [nT]:"), 3, 0, 1, 2);
    out->addWidget(new QLabel("1. Analogausgang"), 4, 0);
    out->addWidget(Intervall_Analog1_Edit, 4, 1);
    out->addWidget(new QLabel("2. Analogausgang:"), 5, 0);
    out->addWidget(Intervall_Analog2_Edit, 5, 1);
    out->addWidget(new QLabel("Modus 2. Analogausgang:"), 6, 0, 1, 2);
    out->addWidget(Modus_Analog2_ComboBox, 7, 0, 1, 2);
    out->addWidget(new QLabel("Alarm bei K:"), 8, 0);
    out->addWidget(Alarm_Edit, 8, 1);

    // Buttons
    Default_Button = new QPushButton("Standardwerte setzen");
    withHint(Default_Button, "Default_Button", "Parametersatz mit Standardwerten erzeugen", std::nullopt);
    Empfangen_Button = new QPushButton("Parameter Empfangen");
    withHint(Empfangen_Button, "Empfangen_Button", "Parametersatz von MOX lesen", std::nullopt);
    Senden_Button = new QPushButton("  Parameter Senden   ");
    withHint(Senden_Button, "Senden_Button", "Parameter zu MOX senden", std::nullopt);
    Quit_Button = new QPushButton(" Programm beenden  ");
    withHint(Quit_Button, "Quit_Button", "Programmende", std::nullopt);
    Quit_Button->setToolTip("Programmende");
    connect(Default_Button, &QPushButton::clicked, this, &TMain::Default_ButtonClick);
    connect(Empfangen_Button, &QPushButton::clicked, this, &TMain::Empfangen_ButtonClick);
    connect(Senden_Button, &QPushButton::clicked, this, &TMain::Senden_ButtonClick);
    connect(Quit_Button, &QPushButton::clicked, this, &TMain::Quit_ButtonClick);

    auto* frame = new QGroupBox("MOX-Parameter");
    frame->setObjectName("MOX-Parameter");
    auto* left = new QVBoxLayout;
    left->addWidget(allgemein);
    left->addWidget(sensoren);
    left->addWidget(kIndex);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(ausgabe);
    right->addStretch();
    for (QPushButton* b : {Default_Button, Empfangen_Button, Senden_Button, Quit_Button}) right->addWidget(b);
    auto* frameLayout = new QHBoxLayout(frame);
    frameLayout->addLayout(left);
    frameLayout->addLayout(right);

    // Datum und Uhrzeit setzen: the device keeps UTC, like every file and picture of the station.
    const QDateTime utc = UtcNow();
    Datum_DateTimePicker = new QDateEdit(utc.date());
    Datum_DateTimePicker->setDisplayFormat("dd.MM.yyyy");
    Datum_DateTimePicker->setCalendarPopup(true);
    withHint(Datum_DateTimePicker, "Datum_DateTimePicker", "Datum für MOX", THelpTopic::IniDatumUhrzeitSetzen);
    Uhrzeit_DateTimePicker = new QTimeEdit(utc.time());
    Uhrzeit_DateTimePicker->setDisplayFormat("HH:mm:ss");
    withHint(Uhrzeit_DateTimePicker, "Uhrzeit_DateTimePicker", "Uhrzeit möglichst in UTC einstellen!",
             THelpTopic::IniDatumUhrzeitSetzen);
    Date_Button = new QPushButton("Datum  senden ");
    withHint(Date_Button, "Date_Button", "Datum zu MOX senden", std::nullopt);
    Time_Button = new QPushButton("Uhrzeit Senden");
    withHint(Time_Button, "Time_Button", "Uhrzeit zu MOX senden", std::nullopt);
    connect(Date_Button, &QPushButton::clicked, this, &TMain::Date_ButtonClick);
    connect(Time_Button, &QPushButton::clicked, this, &TMain::Time_ButtonClick);
    auto* clock = new QGroupBox("Datum und Uhrzeit setzen");
    clock->setObjectName("Datum und Uhrzeit setzen");
    auto* clockGrid = new QGridLayout(clock);
    clockGrid->addWidget(Datum_DateTimePicker, 0, 0);
    clockGrid->addWidget(new QLabel("UTC"), 0, 1);
    clockGrid->addWidget(Date_Button, 0, 2);
    clockGrid->addWidget(Uhrzeit_DateTimePicker, 1, 0);
    clockGrid->addWidget(new QLabel("UTC"), 1, 1);
    clockGrid->addWidget(Time_Button, 1, 2);
    // The pickers run with the clock until the observer sets one of them by hand.
    for (QDateTimeEdit* picker : std::initializer_list<QDateTimeEdit*>{Datum_DateTimePicker, Uhrzeit_DateTimePicker})
        connect(picker, &QDateTimeEdit::dateTimeChanged, this, [this, picker] {
            if (!tickingClock_) (picker == Datum_DateTimePicker ? dateFollowsClock_ : timeFollowsClock_) = false;
        });
    clockTimer_ = new QTimer(this);
    connect(clockTimer_, &QTimer::timeout, this, &TMain::FollowClock);
    clockTimer_->start(250);

    // Schnittstellenauswahl
    ComComboBox = new TComComboBox;
    withHint(ComComboBox, "ComComboBox", "Auswahl der seriellen Schnittstelle, an der MOX angeschlossen ist",
             std::nullopt);
    ComComboBox->SetComPort(&port_);
    // Choosing or typing a name applies it to the port at once.
    connect(ComComboBox, &QComboBox::currentTextChanged, this, [this] { ComComboBox->ApplySettings(); });
    COM_ProgressBar = new QProgressBar;
    COM_ProgressBar->setObjectName("COM_ProgressBar");
    COM_ProgressBar->setRange(0, 100);
    COM_ProgressBar->setValue(0);
    COM_ProgressBar->setTextVisible(false);
    COM_ProgressBar->setStyleSheet("QProgressBar::chunk { background-color: blue; }");
    auto* portGroup = new QGroupBox("Schnittstellenauswahl");
    portGroup->setObjectName("Schnittstellenauswahl");
    auto* portLayout = new QVBoxLayout(portGroup);
    portLayout->addWidget(ComComboBox);
    portLayout->addWidget(COM_ProgressBar);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(clock);
    bottom->addWidget(portGroup);
    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(frame);
    layout->addLayout(bottom);
    setCentralWidget(central);
}

void TMain::BuildMenus()
{
    QMenu* datei = menuBar()->addMenu("&Datei");
    QAction* laden = datei->addAction("Parametersatz &laden");
    laden->setObjectName("Parametersatzladen");
    QAction* speichern = datei->addAction("Parametersatz &speichern");
    speichern->setObjectName("Menu_Speichern");
    QMenu* hilfe = menuBar()->addMenu("&Hilfe");
    QAction* hilfeIni = hilfe->addAction("MOX_Ini...");
    hilfeIni->setObjectName("HilfeMenu_Hilfe");
    QAction* hilfeMox = hilfe->addAction("MOX...");
    hilfeMox->setObjectName("HilfeMenu_MOXHilfe");
    QAction* ueber = hilfe->addAction("Über...");
    ueber->setObjectName("HILFEMENU_Ueber");
    connect(laden, &QAction::triggered, this, &TMain::ParametersatzladenClick);
    connect(speichern, &QAction::triggered, this, &TMain::Menu_SpeichernClick);
    connect(hilfeIni, &QAction::triggered, this, &TMain::HilfeMenu_HilfeClick);
    connect(hilfeMox, &QAction::triggered, this, &TMain::HilfeMenu_MOXHilfeClick);
    connect(ueber, &QAction::triggered, this, &TMain::HILFEMENU_UeberClick);
}

TParamFields TMain::ReadFields() const
{
    TParamFields f;
    f.daylyReset = dayly_reset_CheckBox->isChecked();
    f.resetHour = Reset_Time_Edit->value();
    f.dualSensor = dual_sensor_CheckBox->isChecked();
    f.displayLight = display_light_CheckBox->isChecked();
    f.digin = digin_CheckBox->isChecked();
    f.printDateTime = print_date_time_CheckBox->isChecked();
    f.dataInterval = data_interval_Edit->value();
    f.rs232Mode = rs232_mode_ComboBox->currentIndex();
    f.analog1Interval = Intervall_Analog1_Edit->value();
    f.analog2Interval = Intervall_Analog2_Edit->value();
    f.analog2Mode = Modus_Analog2_ComboBox->currentIndex();
    f.alarmK = Alarm_Edit->value();
    for (int k = 0; k < KLimitCount; ++k) f.kLimit[k] = K_Edit[k]->text().toStdString();
    f.sensor1 = Sensor1_ComboBox->currentIndex();
    f.sensor2 = Sensor2_ComboBox->currentIndex();
    f.korrektur1 = Korrektur1_Edit->value();
    f.korrektur2 = Korrektur2_Edit->value();
    f.offset1 = Offset1_Edit->text().toStdString();
    f.offset2 = Offset2_Edit->text().toStdString();
    return f;
}

void TMain::WriteFields(const TParamFields& f)
{
    dayly_reset_CheckBox->setChecked(f.daylyReset);
    fieldmark::ShowValue(Reset_Time_Edit, f.resetHour);
    dayly_reset_CheckBoxClick();
    dual_sensor_CheckBox->setChecked(f.dualSensor);
    display_light_CheckBox->setChecked(f.displayLight);
    digin_CheckBox->setChecked(f.digin);
    print_date_time_CheckBox->setChecked(f.printDateTime);
    fieldmark::ShowValue(data_interval_Edit, f.dataInterval);
    rs232_mode_ComboBox->setCurrentIndex(f.rs232Mode);
    fieldmark::ShowValue(Intervall_Analog1_Edit, f.analog1Interval);
    fieldmark::ShowValue(Intervall_Analog2_Edit, f.analog2Interval);
    Modus_Analog2_ComboBox->setCurrentIndex(f.analog2Mode);
    fieldmark::ShowValue(Alarm_Edit, f.alarmK);
    for (int k = 0; k < KLimitCount; ++k) K_Edit[k]->setText(QString::fromStdString(f.kLimit[k]));
    Sensor1_ComboBox->setCurrentIndex(f.sensor1);
    Sensor2_ComboBox->setCurrentIndex(f.sensor2);
    fieldmark::ShowValue(Korrektur1_Edit, f.korrektur1);
    fieldmark::ShowValue(Korrektur2_Edit, f.korrektur2);
    Offset1_Edit->setText(QString::fromStdString(f.offset1));
    Offset2_Edit->setText(QString::fromStdString(f.offset2));
}

void TMain::ShowBuffer()
{
    TParamFields fields = ReadFields();
    paramform::Show(buffer_, fields);
    showing_ = true;
    WriteFields(fields);
    for (QWidget* w : MarkableFields()) fieldmark::Unmark(w);
    shown_ = ReadFields();
    for (const paramform::TFieldNote& note : paramform::Notes(buffer_, shown_))
        fieldmark::Mark(FieldWidget(note.field), QString::fromStdString(note.text));
    showing_ = false;
}

bool TMain::TakeBuffer(bool everyField)
{
    const TParamFields fields = ReadFields();
    const auto error = paramform::Take(fields, buffer_, everyField ? nullptr : &shown_);
    if (!error) {
        shown_ = fields;
        return true;
    }
    ShowMessage(QString("\"%1\" ist keine gültige ganze Zahl (%2).")
                    .arg(QString::fromStdString(error->text), QString::fromStdString(error->field)),
                moxtext::ErrorCaption, TIcon::Error);
    return false;
}

void TMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    FormActivate();
}

// The window opens with the standard set. Only the first activation applies it: a later one
// (after a message box, a dialog or another program) must not wipe a set just received.
void TMain::FormActivate()
{
    if (activatedOnce_) return;
    activatedOnce_ = true;
    Default_ButtonClick();
}

void TMain::keyPressEvent(QKeyEvent* event)
{
    // Enter in a field that does not use it sends the date; on a button it presses that button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget())) button->click();
        else Date_Button->click();
        return;
    }
    // F1 opens the topic of the field that has the focus.
    if (event->key() == Qt::Key_F1) {
        for (QWidget* w = QApplication::focusWidget(); w && w != this; w = w->parentWidget())
            if (w->property(HelpTopicProperty).isValid())
                return ShowHelp(THelpTopic(w->property(HelpTopicProperty).toInt()));
        return ShowHelp(THelpTopic::IniAllgemein);
    }
    QMainWindow::keyPressEvent(event);
}

void TMain::dayly_reset_CheckBoxClick() { Reset_Time_Edit->setEnabled(dayly_reset_CheckBox->isChecked()); }

void TMain::Default_ButtonClick()
{
    showing_ = true;
    WriteFields(paramform::StandardFields());
    for (QWidget* w : MarkableFields()) fieldmark::Unmark(w);
    showing_ = false;
    TakeBuffer(true);
}

QWidget* TMain::FieldWidget(paramform::TField field) const
{
    using F = paramform::TField;
    switch (field) {
    case F::DaylyReset: return dayly_reset_CheckBox;
    case F::ResetHour: return Reset_Time_Edit;
    case F::DualSensor: return dual_sensor_CheckBox;
    case F::DisplayLight: return display_light_CheckBox;
    case F::Digin: return digin_CheckBox;
    case F::PrintDateTime: return print_date_time_CheckBox;
    case F::DataInterval: return data_interval_Edit;
    case F::RS232Mode: return rs232_mode_ComboBox;
    case F::Analog1Interval: return Intervall_Analog1_Edit;
    case F::Analog2Interval: return Intervall_Analog2_Edit;
    case F::Analog2Mode: return Modus_Analog2_ComboBox;
    case F::AlarmK: return Alarm_Edit;
    case F::Sensor1: return Sensor1_ComboBox;
    case F::Sensor2: return Sensor2_ComboBox;
    case F::Korrektur1: return Korrektur1_Edit;
    case F::Korrektur2: return Korrektur2_Edit;
    }
    return nullptr;
}

std::vector<QWidget*> TMain::MarkableFields() const
{
    return {dayly_reset_CheckBox,   Reset_Time_Edit,          dual_sensor_CheckBox,   display_light_CheckBox,
            digin_CheckBox,         print_date_time_CheckBox, data_interval_Edit,     rs232_mode_ComboBox,
            Intervall_Analog1_Edit, Intervall_Analog2_Edit,   Modus_Analog2_ComboBox, Alarm_Edit,
            Sensor1_ComboBox,       Sensor2_ComboBox,         Korrektur1_Edit,        Korrektur2_Edit};
}

// A field the observer changes holds a value of the window's own again.
void TMain::ConnectFieldEdits()
{
    for (QWidget* w : MarkableFields()) {
        auto edited = [this, w] {
            if (showing_) return;
            if (auto* spin = qobject_cast<QSpinBox*>(w); spin && fieldmark::IsMarked(w)) fieldmark::Narrow(spin);
            fieldmark::Unmark(w);
        };
        if (auto* spin = qobject_cast<QSpinBox*>(w)) connect(spin, &QSpinBox::valueChanged, this, edited);
        else if (auto* box = qobject_cast<QCheckBox*>(w)) connect(box, &QCheckBox::toggled, this, edited);
        else if (auto* list = qobject_cast<QComboBox*>(w)) connect(list, &QComboBox::currentIndexChanged, this, edited);
    }
}

void TMain::FollowClock()
{
    const QDateTime utc = UtcNow();
    tickingClock_ = true;
    if (dateFollowsClock_ && Datum_DateTimePicker->date() != utc.date()) Datum_DateTimePicker->setDate(utc.date());
    if (timeFollowsClock_ && Uhrzeit_DateTimePicker->time().second() != utc.time().second())
        Uhrzeit_DateTimePicker->setTime(utc.time());
    tickingClock_ = false;
}

void TMain::SetGauge(int value)
{
    COM_ProgressBar->setValue(value);
    COM_ProgressBar->repaint();  // the window takes no input during an exchange, but this shows
}

void TMain::ReportPortError()
{
    ShowMessage(QString("Die Schnittstelle %1 kann nicht geöffnet werden.\n%2")
                    .arg(QString::fromStdString(port_.Port()), QString::fromStdString(protocol_.PortError())),
                moxtext::ErrorCaption, TIcon::Error);
}

void TMain::Report(TMoxResult result, const char* okText, const char* differsText)
{
    switch (result) {
    case TMoxResult::Ok: ShowMessage(QString::fromUtf8(okText), moxtext::OkCaption, TIcon::None); break;
    case TMoxResult::NoAnswer: ShowMessage(moxtext::NoAnswer, moxtext::ErrorCaption, TIcon::Error); break;
    case TMoxResult::Differs: ShowMessage(QString::fromUtf8(differsText), moxtext::ErrorCaption, TIcon::Error); break;
    case TMoxResult::PortError: ReportPortError(); break;
    }
}

void TMain::Empfangen_ButtonClick()
{
    TMoxResult result;
    {
        WaitCursor busy;
        result = protocol_.ReadParameters(buffer_);
        SetGauge(0);
    }
    if (result == TMoxResult::Ok) ShowBuffer();
    Report(result, moxtext::ReadOk, moxtext::ReadDiffers);
}

void TMain::Senden_ButtonClick()
{
    if (!TakeBuffer()) return;
    TMoxResult result;
    {
        WaitCursor busy;
        result = protocol_.WriteParameters(buffer_);
        SetGauge(0);
    }
    Report(result, moxtext::WriteOk, moxtext::WriteDiffers);
}

void TMain::Date_ButtonClick()
{
    FollowClock();
    const QDate d = Datum_DateTimePicker->date();
    TMoxResult result;
    {
        WaitCursor busy;
        result = protocol_.SetDate(d.day(), d.month(), d.year());
    }
    if (result == TMoxResult::PortError) ReportPortError();
}

void TMain::Time_ButtonClick()
{
    // A picker that runs with the clock sends the very second of the click.
    const QTime t = timeFollowsClock_ ? UtcNow().time() : Uhrzeit_DateTimePicker->time();
    TMoxResult result;
    {
        WaitCursor busy;
        result = protocol_.SetTime(t.hour(), t.minute(), t.second());
    }
    if (result == TMoxResult::PortError) ReportPortError();
}

void TMain::Quit_ButtonClick() { close(); }

void TMain::LoadFile(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessage(QString("Der Parametersatz wurde nicht geladen: %1 lässt sich nicht öffnen (%2).")
                        .arg(name, file.errorString()),
                    moxtext::ErrorCaption, TIcon::Error);
        return;
    }
    const QByteArray bytes = file.read(Size);
    file.close();
    std::copy(bytes.begin(), bytes.end(), buffer_.begin());
    if (bytes.size() < Size) ShowMessage("Fehler beim Laden des Parametersatzes!", moxtext::ErrorCaption, TIcon::Error);
    ShowBuffer();
}

void TMain::SaveFile(const QString& name)
{
    if (!TakeBuffer()) return;
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ShowMessage(QString("Der Parametersatz wurde nicht gespeichert: %1 lässt sich nicht anlegen (%2).")
                        .arg(name, file.errorString()),
                    moxtext::ErrorCaption, TIcon::Error);
        return;
    }
    const qint64 written = file.write(reinterpret_cast<const char*>(buffer_.data()), Size);
    const bool flushed = file.flush();
    file.close();
    if (written < Size || !flushed)
        ShowMessage("Fehler beim Speichern des Parametersatzes!", moxtext::ErrorCaption, TIcon::Error);
}

void TMain::ParametersatzladenClick()
{
    const QString name = AskLoadFileName();
    if (!name.isEmpty()) LoadFile(name);
}

void TMain::Menu_SpeichernClick()
{
    const QString name = AskSaveFileName();
    if (!name.isEmpty()) SaveFile(name);
}

void TMain::ShowHelp(THelpTopic topic) { ShowHelpTopic(this, topic); }

void TMain::HilfeMenu_HilfeClick() { ShowHelp(THelpTopic::IniAllgemein); }

void TMain::HilfeMenu_MOXHilfeClick() { ShowHelp(THelpTopic::Einfuehrung); }

void TMain::HILFEMENU_UeberClick() { AboutDlg->exec(); }
