#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

namespace corvat::test {

// corvat-flash's stdout so far, one JSON object a line.
inline QList<QJsonObject> JsonLines(const QByteArray& out) {
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty()) objects << QJsonDocument::fromJson(line).object();
    return objects;
}

}  // namespace corvat::test
