#include "TMainFormNames.h"

#include "AccessibleNames.h"

// The names a screen reader announces for the main form's controls. Check
// boxes, radio items, buttons and pages whose caption says what they are
// are announced by their caption and need no entry.
static const AccessibleName kNames[] = {
    {"PageControl1", "Pages"},
    // Radar panel.
    {"Shape_Mw", "MW detection lamp", "on"},
    {"ProgressBar1", "MW level"},
    {"TrackBar_MW_TRange", "MW threshold"},
    {"ScrollBar_MW_Nconv", "MW rate"},
    {"ScrollBar_MW_Tconv", "MW speed"},
    {"ScrollBar_MW_NPulse", "MW pulses"},
    {"ProgressBar_Mask", "Mask level"},
    {"ProgressBar_MaskNoise", "Mask noise level"},
    {"Shape_Mask", "Mask lamp", "on"},
    {"Shape_MaskNoise", "Mask noise lamp", "on"},
    // High PIR panel.
    {"Shape_Pir1", "PIR high above detection lamp", "on"},
    {"ProgressBar2", "PIR high above level"},
    {"TrackBar_PIR1_TRange", "PIR high above threshold"},
    {"ScrollBar_Pir1_Nconv", "PIR high above rate"},
    {"ScrollBar_Pir1_Tconv", "PIR high above speed"},
    {"ScrollBar_Pir1_NPulse", "PIR high above pulses"},
    {"ComboBox_Pir1_Lens", "PIR high above lens"},
    {"ProgressBar_Acc1", "Mask #1 level"},
    {"Shape_Acc1", "Mask #1 lamp", "on"},
    {"ProgressBar_Acc1Noise", "Mask #1 noise level"},
    {"Shape_Acc1Noise", "Mask #1 noise lamp", "on"},
    // Low PIR panel.
    {"Shape_Pir2", "PIR down under detection lamp", "on"},
    {"ProgressBar3", "PIR down under level"},
    {"TrackBar_PIR2_TRange", "PIR down under threshold"},
    {"ScrollBar_Pir2_Nconv", "PIR down under rate"},
    {"ScrollBar_Pir2_Tconv", "PIR down under speed"},
    {"ScrollBar_Pir2_NPulse", "PIR down under pulses"},
    {"ComboBox_Pir2_Lens", "PIR down under lens"},
    {"ProgressBar_Acc2", "Mask #2 level"},
    {"Shape_Acc2", "Mask #2 lamp", "on"},
    {"ProgressBar_Acc2Noise", "Mask #2 noise level"},
    {"Shape_Acc2Noise", "Mask #2 noise lamp", "on"},
    // SETUP box; the outputs' controls repeat their captions, so they carry
    // the output's name.
    {"ScrollBox1", "SETUP"},
    {"CheckBox_Out1Enable", "Out #1 enable"},
    {"RadioGroup_FuncOut1", "Out #1 function"},
    {"CheckBox_Out1Mw", "Out #1 MW"},
    {"CheckBox_Out1Pir1", "Out #1 PIR high above"},
    {"CheckBox_Out1Pir2", "Out #1 PIR down under"},
    {"CheckBox_Out2Enable", "Out #2 enable"},
    {"RadioGroup_FuncOut2", "Out #2 function"},
    {"CheckBox_Out2Mw", "Out #2 MW"},
    {"CheckBox_Out2Pir1", "Out #2 PIR high above"},
    {"CheckBox_Out2Pir2", "Out #2 PIR down under"},
    {"ScrollBar_TimeAnd2", "Out #2 Time AND"},
    {"CheckBox_Out3Enable", "Out #3 enable"},
    {"RadioGroup_FuncOut3", "Out #3 function"},
    {"CheckBox_Out3Mw", "Out #3 MW"},
    {"CheckBox_Out3Pir1", "Out #3 PIR high above"},
    {"CheckBox_Out3Pir2", "Out #3 PIR down under"},
    {"ScrollBar_TimeAnd3", "Out #3 Time AND"},
    {"Shape_Out1State", "Output 1 lamp", "on"},
    {"Shape_Out2State", "Output 2 lamp", "on"},
    {"Shape_Out3State", "Output 3 lamp", "on"},
    {"RadioGroup_NCOut1", "Out #1 contact"},
    {"RadioGroup_NCOut2", "Out #2 contact"},
    {"RadioGroup_NCOut3", "Out #3 contact"},
    {"ScrollBar_TimeAnd1", "Out #1 Time AND"},
    {"Shape_OutTamper", "Tamper lamp", "on"},
    {"ProgressBar_acc_X", "Tamper X"},
    {"ProgressBar_acc_Y", "Tamper Y"},
    {"ProgressBar_acc_Z", "Tamper Z"},
    {"ScrollBar_PWM_Fq", "MW pulse frequency"},
    {"ScrollBar_PWM_Dc", "MW pulse duty cycle"},
    {"Shape_DiagnosticOn", "Auto test lamp", "on"},
    {"Shape_LedMwFault", "MW fault lamp", "fault"},
    {"Shape_LedPir1Fault", "PIR high above fault lamp", "fault"},
    {"Shape_LedPir2Fault", "PIR down under fault lamp", "fault"},
    {"Shape_LedPowerFail", "Low voltage fault lamp", "fault"},
    {"Shape_LedCPUFault", "CPU fault lamp", "fault"},
    // Temperature, event log, status bar.
    {"ProgressBar_Temperatura", "Temperature"},
    {"StringGrid1", "Event log"},
    {"ProgressBar_serial", "Link activity"},
};

void NameMainFormControls(QWidget* form) {
    ApplyAccessibleNames(form, kNames);
}
