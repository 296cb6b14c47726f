#include "platform/settingstext.h"

#include <QDataStream>
#include <QDateTime>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

namespace quenor {
namespace {

bool IsHexDigit(char16_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

char HexUpper(unsigned v) { return "0123456789ABCDEF"[v & 15]; }

// A key or section name: letters, digits, '_', '-' and '.' stand as they are,
// '/' becomes '\', anything else %XX (up to U+00FF) or %UXXXX.
void AppendKey(QByteArray& out, QStringView key)
{
    for (const QChar qc : key) {
        const char16_t c = qc.unicode();
        if (c == '/') {
            out += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
                   c == '.') {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += HexUpper(c >> 4);
            out += HexUpper(c);
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += HexUpper(c >> shift);
        }
    }
}

// One value's text before escaping, typed by its prefix.
QString ValueText(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray:
        return QStringLiteral("@ByteArray(") + QString::fromLatin1(v.toByteArray()) + QLatin1Char(')');
    case QMetaType::QString:
    case QMetaType::QKeySequence:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
    case QMetaType::Float:
    case QMetaType::Double: {
        const QString text = v.toString();
        if (text.contains(QChar(0)))
            return QStringLiteral("@String(") + text + QLatin1Char(')');
        return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
    }
    case QMetaType::QRect: {
        const QRect r = v.toRect();
        return QString::asprintf("@Rect(%d %d %d %d)", r.x(), r.y(), r.width(), r.height());
    }
    case QMetaType::QSize: {
        const QSize s = v.toSize();
        return QString::asprintf("@Size(%d %d)", s.width(), s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = v.toPoint();
        return QString::asprintf("@Point(%d %d)", p.x(), p.y());
    }
    default: {
        // Any other type as its data stream; a date and time in the newer form.
        const bool dateTime = v.metaType().id() == QMetaType::QDateTime;
        QByteArray bytes;
        {
            QDataStream stream(&bytes, QIODevice::WriteOnly);
            stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
            stream << v;
        }
        return QLatin1String(dateTime ? "@DateTime(" : "@Variant(") + QString::fromLatin1(bytes) + QLatin1Char(')');
    }
    }
}

// A value's text escaped for a line: control characters as C escapes ("\n",
// "\x1f"; a hex digit right after a "\x" or "\0" escape is escaped too, so
// that it does not read as part of it), '"' and '\' with a backslash, and the
// whole in quotes when it holds ';', ',' or '=' or begins or ends with a
// space. Text is UTF-8; inside the byte forms every byte from 0x7F on is
// escaped instead.
void AppendString(QByteArray& out, const QString& text)
{
    const bool bytes = text.startsWith(QLatin1String("@ByteArray(")) || text.startsWith(QLatin1String("@Variant(")) ||
                       text.startsWith(QLatin1String("@DateTime("));
    const qsizetype start = out.size();
    bool quote = false;
    bool escapeHexDigit = false;
    qsizetype run = 0;  // start of the plain characters not yet written
    const auto flush = [&](qsizetype end) {
        if (end > run)
            out += text.sliced(run, end - run).toUtf8();
    };
    const auto escape = [&](qsizetype i, const QByteArray& code) {
        flush(i);
        out += code;
        run = i + 1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == ';' || c == ',' || c == '=')
            quote = true;
        if (escapeHexDigit && IsHexDigit(c)) {
            escape(i, "\\x" + QByteArray::number(c, 16));
            continue;
        }
        escapeHexDigit = false;
        switch (c) {
        case '\0':
            escape(i, "\\0");
            escapeHexDigit = true;
            break;
        case '\a': escape(i, "\\a"); break;
        case '\b': escape(i, "\\b"); break;
        case '\f': escape(i, "\\f"); break;
        case '\n': escape(i, "\\n"); break;
        case '\r': escape(i, "\\r"); break;
        case '\t': escape(i, "\\t"); break;
        case '\v': escape(i, "\\v"); break;
        case '"': escape(i, "\\\""); break;
        case '\\': escape(i, "\\\\"); break;
        default:
            if (c <= 0x1F || (bytes && c >= 0x7F)) {
                escape(i, "\\x" + QByteArray::number(c, 16));
                escapeHexDigit = true;
            }
        }
    }
    flush(text.size());
    if (quote || (out.size() > start && (out.at(start) == ' ' || out.back() == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

void AppendValue(QByteArray& out, const QVariant& v)
{
    const int type = v.metaType().id();
    // Lists are written item by item, joined by ", ", as QSettings writes them;
    // a QStringList of one is so written as its one item (and reads back as
    // that string). A QVariantList of one is not: QSettings writes it whole as
    // its data stream ("@Variant(...)"), which reads back as the list.
    if (type != QMetaType::QStringList && !(type == QMetaType::QVariantList && v.toList().size() != 1)) {
        AppendString(out, ValueText(v));
        return;
    }
    const QVariantList items = v.toList();
    if (items.isEmpty()) {
        out += "@Invalid()";
        return;
    }
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i)
            out += ", ";
        AppendString(out, ValueText(items[i]));
    }
}

}  // namespace

QByteArray SettingsText(const std::map<QString, QVariant>& values)
{
    // Sections by name, the one of keys without a section first, each with its keys by name.
    std::map<QString, std::map<QString, QVariant>> sections;
    for (const auto& [key, value] : values) {
        const qsizetype slash = key.indexOf(QLatin1Char('/'));
        if (slash < 0)
            sections[QString()][key] = value;
        else
            sections[key.left(slash)][key.mid(slash + 1)] = value;
    }
    QByteArray out;
    for (const auto& [section, keys] : sections) {
        if (!out.isEmpty())
            out += '\n';
        QByteArray name;
        AppendKey(name, section);
        if (name.isEmpty())
            out += "[General]";  // keys without a section
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            out += "[%General]";  // a section of that name
        else
            out += '[' + name + ']';
        out += '\n';
        for (const auto& [key, value] : keys) {
            AppendKey(out, key);
            out += '=';
            AppendValue(out, value);
            out += '\n';
        }
    }
    return out;
}

}  // namespace quenor
