#pragma once
#include "forms/propertyrecord.h"

#include <QString>

class QWidget;

// Creates registered controls by class name, the way a window's stored layout names them.
// Libraries stay loaded for the rest of the run: a control's code must never be unloaded
// while the control, or anything it handed out, may still be in use.
class ControlHost {
public:
    // Creates a control of the class registered under progId (e.g. "Lumet1.Lumet") as a
    // child of parent and loads record into it (ambient font = parent's font). On failure
    // (name not registered, library file missing, file not a control library, class object
    // refused, a registry that cannot be read) returns nullptr and sets *error to a clear
    // message naming the class, the file and the class registry it came from.
    static QWidget* createControl(const QString& progId, QWidget* parent,
                                  const PropertyRecord& record, QString* error);
};
