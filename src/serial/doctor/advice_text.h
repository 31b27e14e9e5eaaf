#pragma once

#include <QString>
#include <QStringList>

#include "serial/doctor/port_doctor.h"

namespace corvat {

// Advice is indented below the line that names the cause.
inline const QString kAdviceIndent = QStringLiteral("  ");

QString Hex4(quint16 value);

// A port that is in use: by whom, as far as this user may know, and how to free it.
QStringList BusyText(const PortRequest& request, const Surroundings& around);

}  // namespace corvat
