#include "net/PacketRows.h"
#include "text/TextFold.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// What DataPacket::decode charges for the values it holds (see its memory bound).
constexpr qint64 kBlockCost = 32;

// Reads CBOR heads from a byte range; every read is bounded by the range.
class HeadReader
{
public:
    HeadReader(const unsigned char *p, const unsigned char *end) : m_p(p), m_end(end) { }

    const unsigned char *at() const { return m_p; }
    bool atEnd() const { return m_p >= m_end; }
    unsigned char peek() const { return *m_p; }
    void skip(qsizetype n) { m_p += n; }
    qsizetype left() const { return m_end - m_p; }

    // A head of the major type: its argument, or indefinite. False when the next item is of
    // another type, truncated, or uses a reserved length.
    bool head(unsigned major, quint64 &argument, bool &indefinite)
    {
        if (atEnd() || (*m_p >> 5) != major)
            return false;
        const unsigned info = *m_p++ & 0x1F;
        indefinite = info == 31;
        if (info < 24 || indefinite) {
            argument = info;
            return true;
        }
        if (info > 27)
            return false;
        const int bytes = 1 << (info - 24);
        if (left() < bytes)
            return false;
        argument = 0;
        for (int i = 0; i < bytes; ++i)
            argument = (argument << 8) | *m_p++;
        return true;
    }

private:
    const unsigned char *m_p;
    const unsigned char *m_end;
};

// The first 16 characters of a folded text, one byte each, read as two integers so that
// comparing keys compares the texts whenever the keys differ: past the end is 0, and from the
// first character that does not fit a byte on, every byte is 0xFF (equal keys leave the
// comparison to the texts themselves).
void prefix(QStringView text, quint64 &high, quint64 &low)
{
    unsigned char bytes[16] = {};
    for (qsizetype i = 0; i < 16 && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0xFF) {
            std::memset(bytes + i, 0xFF, size_t(16 - i));
            break;
        }
        bytes[i] = static_cast<unsigned char>(c);
    }
    high = low = 0;
    for (int i = 0; i < 8; ++i) {
        high = (high << 8) | bytes[i];
        low = (low << 8) | bytes[i + 8];
    }
}

bool isAscii(const unsigned char *p, qsizetype n)
{
    quint64 any = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, sizeof word);
        any |= word;
    }
    for (; i < n; ++i)
        any |= p[i];
    return (any & 0x8080808080808080ull) == 0;
}

} // namespace

std::unique_ptr<PacketRows> PacketRows::scan(const QByteArray &packet, qsizetype offset, int columns,
                                             qint64 budgetBytes, qsizetype &end)
{
    if (columns <= 0 || offset < 0 || offset > packet.size()
        || packet.size() >= qsizetype(std::numeric_limits<qint32>::max()))
        return nullptr;
    const auto *base = reinterpret_cast<const unsigned char *>(packet.constData());
    HeadReader in(base + offset, base + packet.size());
    quint64 count = 0;
    bool indefinite = false;
    if (!in.head(4, count, indefinite))
        return nullptr;

    std::unique_ptr<PacketRows> rows(new PacketRows(packet, columns));
    // About 85 bytes a row in a supplier list: room for most lists at once. Every value takes
    // a byte at least, whatever the header says.
    rows->m_cells.reserve(qMin(size_t(in.left()) + 1, size_t(in.left() / 64 + 1) * size_t(columns)));
    qint64 budget = budgetBytes;
    const qint64 rowCost = kBlockCost + qint64(columns) * qint64(sizeof(QVariant));
    for (quint64 row = 0;; ++row) {
        if (indefinite) {
            if (in.atEnd())
                return nullptr;
            if (in.peek() == 0xFF) {
                in.skip(1);
                break;
            }
        } else if (row == count) {
            break;
        }
        quint64 values = 0;
        bool open = false;
        if (!in.head(4, values, open) || (!open && values != quint64(columns)))
            return nullptr;
        budget -= rowCost;
        for (int c = 0; c < columns; ++c) {
            if (in.atEnd())
                return nullptr;
            if (in.peek() == 0xF6) { // null
                in.skip(1);
                rows->m_cells.push_back({0, -1});
                continue;
            }
            quint64 size = 0;
            bool chunked = false;
            if (!in.head(3, size, chunked) || chunked || size > quint64(in.left()))
                return nullptr;
            const unsigned char *text = in.at();
            // decode() holds a text in UTF-16: never more units than UTF-8 bytes.
            if (size > 0)
                budget -= kBlockCost + 2 * qint64(size);
            if (!isAscii(text, qsizetype(size))
                && !QByteArrayView(text, qsizetype(size)).isValidUtf8())
                return nullptr;
            rows->m_cells.push_back({quint32(text - base), qint32(size)});
            in.skip(qsizetype(size));
        }
        if (open) {
            if (in.atEnd() || in.peek() != 0xFF)
                return nullptr;
            in.skip(1);
        }
        if (budget < 0)
            return nullptr;
        ++rows->m_rows;
        if (rows->m_rows == std::numeric_limits<int>::max())
            return nullptr;
    }
    end = in.at() - base;
    return rows;
}

QString PacketRows::text(const Cell &c) const
{
    // An empty text is an empty string, not a null one (as decode() gives it).
    return c.size <= 0 ? QStringLiteral("") : QString::fromUtf8(m_packet.constData() + c.offset, c.size);
}

QVariant PacketRows::value(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return QVariant();
    const Cell &c = cell(m_order.empty() ? row : m_order[size_t(row)], column);
    return c.size < 0 ? QVariant() : QVariant(text(c));
}

int PacketRows::compareRaw(const Cell &a, const Cell &b) const
{
    const qsizetype sa = qMax(0, a.size);
    const qsizetype sb = qMax(0, b.size);
    if (sa == sb && std::memcmp(m_packet.constData() + a.offset, m_packet.constData() + b.offset, size_t(sa)) == 0)
        return 0;
    return text(a).compare(text(b));
}

// The folded texts of one column, one after the other in one buffer.
class PacketRows::Keys
{
public:
    // Only the rows wanted are folded (all when wanted is empty); the others read as empty.
    Keys(const PacketRows &rows, int column, const std::vector<bool> &wanted = {})
    {
        const int n = rows.m_rows;
        const auto folds = [&](int r) { return wanted.empty() || wanted[size_t(r)]; };
        size_t bytes = 0;
        for (int r = 0; r < n; ++r)
            if (folds(r))
                bytes += size_t(qMax(0, rows.cell(r, column).size));
        // Room for every text as long as its bytes: a Latin-1 fold never takes more.
        m_text.resize(bytes);
        m_start.resize(size_t(n) + 1);
        size_t used = 0;
        size_t rest = bytes; // bytes of the texts not folded yet
        for (int r = 0; r < n; ++r) {
            m_start[size_t(r)] = used;
            const Cell &c = rows.cell(r, column);
            if (c.size <= 0 || !folds(r))
                continue;
            rest -= size_t(c.size);
            const qsizetype folded =
                TextFold::foldUtf8(QByteArrayView(rows.m_packet.constData() + c.offset, c.size), m_text.data() + used);
            if (folded >= 0) {
                used += size_t(folded);
                continue;
            }
            const QString slow = TextFold::fold(rows.text(c));
            m_text.resize(qMax(m_text.size(), used + size_t(slow.size()) + rest));
            std::memcpy(m_text.data() + used, slow.constData(), size_t(slow.size()) * sizeof(char16_t));
            used += size_t(slow.size());
        }
        m_start[size_t(n)] = used;
    }

    QStringView at(int row) const
    {
        return QStringView(m_text.data() + m_start[size_t(row)], m_text.data() + m_start[size_t(row) + 1]);
    }

private:
    std::vector<char16_t> m_text;
    std::vector<size_t> m_start;
};

void PacketRows::sortBy(const QVector<int> &columns)
{
    QVector<int> used;
    for (int c : columns)
        if (c >= 0 && c < m_columns)
            used << c;
    if (used.isEmpty() || m_rows < 2)
        return;

    // Rows of the same first key come one after the other from a server that sorts by it:
    // each run of them is folded and sorted once.
    struct Run
    {
        quint64 high;
        quint64 low;
        int first;
        int count;
    };
    std::vector<Run> runs;
    std::vector<bool> runStarts(size_t(m_rows), false);
    for (int r = 0; r < m_rows; ++r) {
        if (!runs.empty() && compareRaw(cell(runs.back().first, used[0]), cell(r, used[0])) == 0) {
            ++runs.back().count;
            continue;
        }
        runs.push_back({0, 0, r, 1});
        runStarts[size_t(r)] = true;
    }
    std::vector<Keys> keys;
    keys.emplace_back(*this, used[0], runStarts);
    const auto compareKey = [&](size_t k, int a, int b) {
        if (const int c = keys[k].at(a).compare(keys[k].at(b)); c != 0)
            return c;
        return compareRaw(cell(a, used[qsizetype(k)]), cell(b, used[qsizetype(k)]));
    };
    // The first 16 characters of the key packed into two integers decide most comparisons
    // without reading the texts.
    for (Run &run : runs)
        prefix(keys[0].at(run.first), run.high, run.low);
    std::sort(runs.begin(), runs.end(), [&](const Run &a, const Run &b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        if (const int c = compareKey(0, a.first, b.first); c != 0)
            return c < 0;
        return a.first < b.first;
    });

    // Runs of one first key (apart in the packet when it came in another order) make one
    // group, which the other keys then put in order.
    std::vector<int> order;
    order.reserve(size_t(m_rows));
    std::vector<std::pair<size_t, size_t>> groups; // of more than one row, in order
    std::vector<bool> grouped(size_t(m_rows), false);
    for (size_t i = 0; i < runs.size();) {
        const size_t start = order.size();
        size_t j = i;
        do {
            for (int r = runs[j].first; r < runs[j].first + runs[j].count; ++r)
                order.push_back(r);
            ++j;
        } while (j < runs.size() && compareKey(0, runs[i].first, runs[j].first) == 0);
        if (order.size() - start > 1 && used.size() > 1) {
            groups.emplace_back(start, order.size());
            for (size_t at = start; at < order.size(); ++at)
                grouped[size_t(order[at])] = true;
        }
        i = j;
    }
    if (!groups.empty()) {
        for (qsizetype k = 1; k < used.size(); ++k)
            keys.emplace_back(*this, used[k], grouped);
        // The keys after the first, then the packet's order: a total order, so that sorting
        // by it gives what a stable sort gives.
        const auto lessAfterFirst = [&](int a, int b) {
            for (size_t k = 1; k < keys.size(); ++k)
                if (const int c = compareKey(k, a, b); c != 0)
                    return c < 0;
            return a < b;
        };
        for (const auto &[start, end] : groups) {
            const auto begin = order.begin() + qsizetype(start);
            const auto last = order.begin() + qsizetype(end);
            if (!std::is_sorted(begin, last, lessAfterFirst))
                std::sort(begin, last, lessAfterFirst);
        }
    }
    bool moved = false;
    for (int r = 0; r < m_rows && !moved; ++r)
        moved = order[size_t(r)] != r;
    if (moved)
        m_order = std::move(order);
}
