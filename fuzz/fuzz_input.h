#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdio>

// The fuzzer's bytes read front to back as small decisions and pieces of text. Running out
// of bytes gives zeros and empty pieces, so every input is a complete run.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // A piece of up to maxLength bytes, its length taken from the input first.
    QByteArray piece(int maxLength)
    {
        const size_t length = qMin<size_t>(byte() % (maxLength + 1), m_size - m_pos);
        const QByteArray bytes(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(length));
        m_pos += length;
        return bytes;
    }
    QByteArray rest()
    {
        const QByteArray bytes(reinterpret_cast<const char *>(m_data + m_pos),
                               qsizetype(m_size - m_pos));
        m_pos = m_size;
        return bytes;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// The program's warnings (a file moved to UTF-8, an unknown reply) are expected on such
// input and would only slow the fuzzer down; fatal messages still end the run.
inline const QtMessageHandler fuzzQuietMessages =
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg || type == QtCriticalMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });

// Stops the run where a property fails: the fuzzer records the input as a crash, and the
// corpus replay in the test suite fails.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            qFatal("Fuzz check failed: %s (%s:%d)", #condition, __FILE__, __LINE__);               \
    } while (0)
