#pragma once

#include <QElapsedTimer>
#include <QJsonValue>
#include <functional>
#include <map>

#include "cli/flash_event.h"
#include "cli/image_source.h"
#include "platform/result.h"

namespace corvat::cli {

// A file of records that several processes may append to at once: each line goes out in one write(2)
// on a descriptor opened with O_APPEND, then is synced, so no reader, crash or power cut ever sees half
// a line or another process's line cut into it.
class RecordFile {
  public:
    RecordFile() = default;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    ~RecordFile();

    Result<> Open(const QString& path);
    Result<> Append(const QByteArray& line);  // the line without its newline

  private:
    QString m_path;
    int m_fd = -1;
};

// What the system knows of the adapter behind a device; empty texts where it knows nothing.
struct AdapterIdentity {
    QString vidPid;  // "0403:6001"
    QString serialNumber;
    QString byId;  // /dev/serial/by-id/...
};
using AdapterLookup = std::function<AdapterIdentity(const QString& device)>;

// Null for what the system does not know, so that a reader never mistakes "" for a value.
QJsonValue TextOrNull(const QString& text);

// One JSON line per board when it ends, done or failed: which firmware went into which board, on which
// station and adapter, and how it went. The README lists the keys.
class RecordSink : public FlashSink {
  public:
    // A failed write is handed to onFailure; the run goes on and the record keeps trying.
    RecordSink(RecordFile& file, ImageFacts image, AdapterLookup adapters,
               std::function<void(const Failure&)> onFailure);
    void Report(const FlashEvent& event) override;
    void Finish(const FlashSummary&) override {}
    bool Failed() const { return m_failed; }

  private:
    struct Port {
        QString device;
        AdapterIdentity adapter;
        QElapsedTimer since;  // since the board greeted, or since the port began waiting for it
        QJsonValue kind, capacity, version;
        std::int32_t pages = 0;
        std::int32_t resends = 0;
    };

    void Write(const FlashEvent& event, Port& port);

    RecordFile& m_file;
    ImageFacts m_image;
    AdapterLookup m_adapters;
    std::function<void(const Failure&)> m_onFailure;
    QString m_host;
    std::map<QString, Port> m_ports;
    bool m_failed = false;
};

}  // namespace corvat::cli
