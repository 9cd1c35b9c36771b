#pragma once

#include <span>

class QWidget;

// The name by which assistive technology (a screen reader, UI automation)
// announces a control of a form.
struct AccessibleName {
    const char* control;       // objectName on the form
    const char* name;          // what a person would call it
    const char* lit = nullptr; // lamps only: the word for the lit state
};

// Gives every listed control of `form` its name (and a lamp its lit word).
// A listed control missing from the form throws std::logic_error.
void ApplyAccessibleNames(QWidget* form, std::span<const AccessibleName> names);
