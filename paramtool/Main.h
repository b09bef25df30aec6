// MOX_Ini's main window: every device parameter as a field, the device operations, the
// parameter files. The coding of fields and bytes lives in ParamForm, the exchanges in
// MoxProtocol; this class only moves values between them and the widgets.
#pragma once

#include "paramtool/MoxProtocol.h"
#include "paramtool/ParamForm.h"
#include "station/serial/ComPort.h"
#include "widgets/HelpTopics.h"

#include <QDateTime>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimeEdit;
class QTimer;
class TAboutDlg;
class TComComboBox;

inline constexpr const char* MoxIniTitle = "MOX_Ini V1.4 (04/2003)";

class TMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TMain(QWidget* parent = nullptr);
    ~TMain() override;

    enum class TIcon { None, Error };
    // How reports reach the user; a test puts its own function here to capture them.
    std::function<void(const QString& text, const QString& caption, TIcon icon)> ShowMessage;
    // File choosers; an empty name means cancelled.
    std::function<QString()> AskLoadFileName;
    std::function<QString()> AskSaveFileName;
    // The clock the date and time pickers follow; a test puts a clock of its own here.
    std::function<QDateTime()> UtcNow = [] { return QDateTime::currentDateTimeUtc(); };

    const moxparam::TParamSet& Buffer() const { return buffer_; }
    TComPort& ComPort() { return port_; }
    TMoxProtocol& Protocol() { return protocol_; }

    TParamFields Fields() const { return ReadFields(); }
    void ShowBuffer();  // buffer into window
    // Window into buffer; false (and a report) if a field holds no number. Fields left as
    // they were last shown or taken keep their bytes, unless everyField.
    bool TakeBuffer(bool everyField = false);
    void LoadFile(const QString& name);
    void SaveFile(const QString& name);

public slots:
    void Default_ButtonClick();
    void Empfangen_ButtonClick();
    void Senden_ButtonClick();
    void Date_ButtonClick();
    void Time_ButtonClick();
    void Quit_ButtonClick();
    void ParametersatzladenClick();
    void Menu_SpeichernClick();
    void HilfeMenu_HilfeClick();
    void HilfeMenu_MOXHilfeClick();
    void HILFEMENU_UeberClick();
    void dayly_reset_CheckBoxClick();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildForm();
    void BuildMenus();
    TParamFields ReadFields() const;
    void WriteFields(const TParamFields& fields);
    void Report(TMoxResult result, const char* okText, const char* differsText);
    void ReportPortError();
    void SetGauge(int value);
    void ShowHelp(THelpTopic topic);
    void FormActivate();
    QWidget* FieldWidget(paramform::TField field) const;
    std::vector<QWidget*> MarkableFields() const;
    void ConnectFieldEdits();
    void FollowClock();

    moxparam::TParamSet buffer_{};
    TComPort port_;
    TMoxProtocol protocol_;
    bool activatedOnce_ = false;
    TParamFields shown_;    // the fields as last shown or taken
    bool showing_ = false;  // the window, not the observer, is changing fields
    QTimer* clockTimer_ = nullptr;
    bool tickingClock_ = false;
    bool dateFollowsClock_ = true, timeFollowsClock_ = true;

    QCheckBox* dayly_reset_CheckBox;
    QSpinBox* Reset_Time_Edit;
    QCheckBox* dual_sensor_CheckBox;
    QCheckBox* display_light_CheckBox;
    QCheckBox* digin_CheckBox;
    QCheckBox* print_date_time_CheckBox;
    QSpinBox* data_interval_Edit;
    QComboBox* rs232_mode_ComboBox;
    QSpinBox* Intervall_Analog1_Edit;
    QSpinBox* Intervall_Analog2_Edit;
    QComboBox* Modus_Analog2_ComboBox;
    QSpinBox* Alarm_Edit;
    QLineEdit* K_Edit[moxparam::KLimitCount];
    QComboBox* Sensor1_ComboBox;
    QComboBox* Sensor2_ComboBox;
    QSpinBox* Korrektur1_Edit;
    QSpinBox* Korrektur2_Edit;
    QLineEdit* Offset1_Edit;
    QLineEdit* Offset2_Edit;
    QDateEdit* Datum_DateTimePicker;
    QTimeEdit* Uhrzeit_DateTimePicker;
    QPushButton* Date_Button;
    QPushButton* Time_Button;
    TComComboBox* ComComboBox;
    QProgressBar* COM_ProgressBar;
    QPushButton* Default_Button;
    QPushButton* Empfangen_Button;
    QPushButton* Senden_Button;
    QPushButton* Quit_Button;
    TAboutDlg* AboutDlg;
};
