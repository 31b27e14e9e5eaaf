#pragma once

#include <QString>

namespace corvat {

// The maker's addresses: shown by the window's labels, and the page the web link opens.
inline const QString kWebAddress = QStringLiteral("http://www.quoratel.com");
inline const QString kEmailAddress = QStringLiteral("support@quoratel.com");

}  // namespace corvat
