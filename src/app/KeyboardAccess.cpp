#include "KeyboardAccess.h"

#include "FindControl.h"
#include "FocusMark.h"
#include "RadioGroup.h"
#include "WheelGuard.h"

#include <QAbstractSlider>
#include <QComboBox>
#include <QRadioButton>
#include <QWidget>

namespace {

// The configuration controls in the order Tab visits them. Hidden ones keep
// their place and are skipped while hidden.
const char* const kKeyboardOrder[] = {
    // Radar, high PIR and low PIR panels: threshold, rate, speed, pulses, lens.
    "TrackBar_MW_TRange", "ScrollBar_MW_Nconv", "ScrollBar_MW_Tconv", "ScrollBar_MW_NPulse",
    "TrackBar_PIR1_TRange", "ScrollBar_Pir1_Nconv", "ScrollBar_Pir1_Tconv", "ScrollBar_Pir1_NPulse",
    "ComboBox_Pir1_Lens", "TrackBar_PIR2_TRange", "ScrollBar_Pir2_Nconv", "ScrollBar_Pir2_Tconv",
    "ScrollBar_Pir2_NPulse", "ComboBox_Pir2_Lens",
    // SETUP box, top to bottom.
    "CheckBox_EN_MASK", "CheckBox_EN_MW", "CheckBox_EN_PIR1", "CheckBox_EN_PIR2", "CheckBox_EN_ACC",
    "CheckBox_EN_TAMPER", "CheckBox_EN_TempComp", "CheckBox_AutoTest", "CheckBox_EN_LED",
    "CheckBox_NOISE_MW", "CheckBox_NOISE_PIR1", "CheckBox_NOISE_PIR2", "CheckBox_Out1Enable",
    "RadioGroup_FuncOut1", "CheckBox_Out1Mw", "CheckBox_Out1Pir1", "CheckBox_Out1Pir2",
    "CheckBox_Out2Enable", "RadioGroup_FuncOut2", "CheckBox_Out2Mw", "CheckBox_Out2Pir1",
    "CheckBox_Out2Pir2", "ScrollBar_TimeAnd2", "CheckBox_Out3Enable", "RadioGroup_FuncOut3",
    "CheckBox_Out3Mw", "CheckBox_Out3Pir1", "CheckBox_Out3Pir2", "ScrollBar_TimeAnd3",
    "RadioGroup_NCOut1", "RadioGroup_NCOut2", "RadioGroup_NCOut3", "ScrollBar_TimeAnd1",
    "ScrollBar_PWM_Fq", "ScrollBar_PWM_Dc"};

} // namespace

void SetUpConfigurationControls(QWidget* form) {
    auto* mark = new FocusMark(form);
    QWidget* previous = nullptr;
    const auto chain = [&previous](QWidget* next) {
        next->setFocusPolicy(Qt::StrongFocus); // scroll bars take no focus by default
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (const char* name : kKeyboardOrder) {
        auto* control = FindControl<QWidget>(form, name);
        mark->Add(control);
        if (auto* group = qobject_cast<RadioGroup*>(control)) {
            // The items are made after the form, so they come last in the
            // toolkit's own order: put them where their group stands.
            for (QRadioButton* item : group->findChildren<QRadioButton*>())
                chain(item);
            continue;
        }
        chain(control);
        if (qobject_cast<QAbstractSlider*>(control) || qobject_cast<QComboBox*>(control))
            WheelGuard::Install(control);
    }
}
