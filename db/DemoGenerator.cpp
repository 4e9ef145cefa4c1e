#include "DemoGenerator.h"

#include "BulkInserter.h"
#include "DemoRandom.h"
#include "DemoSchema.h"
#include "errors/EAbort.h"
#include "SqliteLoadSettings.h"
#include "text/TextFold.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace {

// Streams of the generator, one per table.
enum Stream : quint64 { sRegions = 1, sBranches, sProducts, sOperators, sSuppliers, sQuotes, sProductBranches, sStock };

// Days before and after the processing date whose bound values are prepared once.
constexpr int kDatesBefore = 500;
constexpr int kDatesAfter = 120;

// Quotes start in the weeks around the processing date.
constexpr int kQuoteFirstDay = -63;
constexpr int kQuoteLastDay = 21;

constexpr qint64 kProgressStep = 100000;

// Stock is kept for the first products at the first active branches: enough for the stock
// screen to show, bounded however big the rest of the base is.
constexpr int kStockProducts = 400;
constexpr int kStockBranches = 3;
// Movements start with an entry this many days before the processing date and go on to a
// few days after it.
constexpr int kStockFirstDay = -120;
constexpr int kStockLastDay = 10;

QString code(qint64 number, int width)
{
    return QString::number(number).rightJustified(width, QLatin1Char('0'));
}

QString clip(const QString &text, int width)
{
    return text.size() <= width ? text : text.left(width).trimmed();
}

QVariant nullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

// 12 base digits of a CNPJ (8 random, branch 0001) and its two check digits.
QString cnpj(DemoRandom &random)
{
    std::array<int, 14> d{};
    for (int i = 0; i < 8; ++i)
        d[i] = random.bounded(10);
    d[8] = 0;
    d[9] = 0;
    d[10] = 0;
    d[11] = 1;
    static constexpr int w1[12] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    static constexpr int w2[13] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += d[i] * w1[i];
    d[12] = sum % 11 < 2 ? 0 : 11 - sum % 11;
    sum = 0;
    for (int i = 0; i < 13; ++i)
        sum += d[i] * w2[i];
    d[13] = sum % 11 < 2 ? 0 : 11 - sum % 11;
    QString out;
    for (int v : d)
        out += QChar(u'0' + v);
    return out;
}

QString cpf(DemoRandom &random)
{
    std::array<int, 11> d{};
    for (int i = 0; i < 9; ++i)
        d[i] = random.bounded(10);
    for (int check = 9; check <= 10; ++check) {
        int sum = 0;
        for (int i = 0; i < check; ++i)
            sum += d[i] * (check + 1 - i);
        d[check] = (sum * 10) % 11 % 10;
    }
    QString out;
    for (int v : d)
        out += QChar(u'0' + v);
    return out;
}

QString digits(DemoRandom &random, int count)
{
    QString out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out += QChar(u'0' + random.bounded(10));
    return out;
}

template<typename List>
const auto &pick(DemoRandom &random, const List &list)
{
    return list.at(random.bounded(int(list.size())));
}

// The fixed head of the branch table: the cases every screen has to meet.
struct FixedBranch
{
    const char *name;
    int regionSlot;     // 0: a region code that has no REGIAO row
    const char *centre; // nullptr: no purchasing centre
    bool rescinded;
};

constexpr FixedBranch kFixedBranches[] = {
    {"Matriz Curitiba", 1, nullptr, false}, // 0001 head office, purchasing centre
    {"Loja Centro Curitiba", 1, "0001", false}, {"Filial Londrina", 1, nullptr, false}, // independent: no centre
    {"Filial Maringá", 1, "0001", true},                                                // rescinded contract
    {"Depósito Contagem", 2, "0001", false},    {"Central de Compras Campinas", 2, "0006", false}, // its own centre
    {"Filial Campinas", 2, "0006", false}, // under another centre
    {"Loja Jundiaí", 0, "0006", false},    // region without REGIAO row
};

} // namespace

DemoGenerator::DemoGenerator(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options,
                             const DemoProgress &progress)
    : m_db(db), m_dialect(dialect), m_options(options), m_progress(progress), m_label(DemoDb::describe(db, dialect)),
      m_firstNames(DemoNames::firstNames()), m_surnames(DemoNames::surnames())
{
    m_firstDateOffset = -kDatesBefore;
    m_dates.reserve(kDatesBefore + kDatesAfter + 1);
    for (int d = -kDatesBefore; d <= kDatesAfter; ++d) {
        const QDate day = m_options.processingDate.addDays(d);
        // SQLite keeps dates as ISO text; the servers take real dates.
        m_dates.append(m_dialect == SqlDialect::SQLite ? QVariant(day.toString(Qt::ISODate)) : QVariant(day));
    }
}

QVariant DemoGenerator::dateValue(int daysFromProcessing) const
{
    const int i = daysFromProcessing - m_firstDateOffset;
    if (i >= 0 && i < m_dates.size())
        return m_dates.at(i);
    const QDate day = m_options.processingDate.addDays(daysFromProcessing);
    return m_dialect == SqlDialect::SQLite ? QVariant(day.toString(Qt::ISODate)) : QVariant(day);
}

void DemoGenerator::report(const QString &table, qint64 done, qint64 total) const
{
    if (m_progress)
        m_progress(table, done, total);
}

void DemoGenerator::progressEvery(const BulkInserter &inserter, const QString &table, qint64 total,
                                  qint64 &nextReport) const
{
    if (!m_progress || inserter.rows() < nextReport)
        return;
    nextReport = (inserter.rows() / kProgressStep + 1) * kProgressStep;
    if (inserter.rows() != total)
        m_progress(table, inserter.rows(), total);
}

void DemoGenerator::run()
{
    if (!m_db.isOpen())
        throw EDatabaseError(QStringLiteral("A base %1 não está aberta.").arg(m_label));

    std::optional<SqliteLoadSettings> settings;
    if (m_dialect == SqlDialect::SQLite)
        settings.emplace(m_db);

    if (!m_db.transaction()) {
        throw EDatabaseError(QStringLiteral("Não foi possível iniciar a transação na base %1: %2")
                                 .arg(m_label, m_db.lastError().text()));
    }
    try {
        writeRegions();
        writeBranches();
        writeProducts();
        writeOperators();
        writeSuppliers();
        writeQuotes();
        writeProductBranches();
        writePictures();
        writeStockMovements();
    } catch (...) {
        m_db.rollback();
        throw;
    }
    if (!m_db.commit()) {
        const QString cause = m_db.lastError().text();
        m_db.rollback();
        throw EDatabaseError(
            QStringLiteral("Não foi possível confirmar a gravação na base %1: %2").arg(m_label, cause));
    }
}

QString DemoGenerator::regionCode(int number) const
{
    return code(number, 3);
}

QString DemoGenerator::personName(DemoRandom &random) const
{
    return pick(random, m_firstNames) + QLatin1Char(' ') + pick(random, m_surnames) + QLatin1Char(' ')
           + pick(random, m_surnames);
}

void DemoGenerator::writeRegions()
{
    const QString table = QStringLiteral("REGIAO");
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    const QStringList names = DemoNames::regions();
    for (int r = 1; r <= m_options.regions; ++r) {
        const QString name = r <= names.size() ? names.at(r - 1) : QStringLiteral("Região %1").arg(regionCode(r));
        out.add({regionCode(r), name});
    }
    out.flush();
    report(table, out.rows(), out.rows());
}

void DemoGenerator::writeBranches()
{
    const QString table = QStringLiteral("FILIAL");
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    qint64 next = kProgressStep;
    DemoRandom random(m_options.seed, sBranches);

    // The last region keeps no branch; the region after the last has no REGIAO row.
    const int regionsWithBranches = qMax(1, m_options.regions - 1);
    const QString orphanRegion = regionCode(m_options.regions + 1);
    const QStringList kinds = DemoNames::branchKinds();
    const QStringList places = DemoNames::places();
    const int fixedCount = int(std::size(kFixedBranches));
    const qint64 total = m_options.branches;
    QStringList fixedNames;
    for (const FixedBranch &f : kFixedBranches)
        fixedNames << QString::fromUtf8(f.name);
    int nameIndex = 0;

    for (int b = 1; b <= m_options.branches; ++b) {
        const QString cd = code(b, 4);
        QString name;
        QString region;
        QVariant centre = nullText();
        bool rescinded = false;
        if (b <= fixedCount) {
            const FixedBranch &f = kFixedBranches[b - 1];
            name = QString::fromUtf8(f.name);
            region = f.regionSlot == 0 ? orphanRegion : regionCode((f.regionSlot - 1) % regionsWithBranches + 1);
            if (f.centre)
                centre = QString::fromLatin1(f.centre);
            rescinded = f.rescinded;
        } else {
            // Kind and place in turn, skipping the names of the fixed branches; a number
            // tells apart the names that come round again.
            const int combos = int(kinds.size() * places.size());
            do {
                const int n = nameIndex++;
                name = kinds.at((n / places.size()) % kinds.size()) + QLatin1Char(' ') + places.at(n % places.size());
                if (n >= combos)
                    name = clip(name, 26) + QLatin1Char(' ') + QString::number(n / combos + 1);
            } while (fixedNames.contains(name));
            region = regionCode(random.range(1, regionsWithBranches));
            const double u = random.unit();
            if (u < 0.70)
                centre = QStringLiteral("0001");
            else if (u < 0.85)
                centre = QStringLiteral("0006");
            else if (u < 0.92)
                centre = cd; // its own purchasing centre
            // else: none
            rescinded = random.chance(0.03);
        }
        int processing = 0;
        if (rescinded)
            processing = -random.range(30, 400);
        else if (b > 1 && random.chance(0.15))
            processing = -random.range(1, 3);

        out.add({cd, clip(name, 30), region, rescinded ? QStringLiteral("S") : QStringLiteral("N"), centre,
                 dateValue(processing)});
        m_branchCodes << cd;
        if (!rescinded) {
            m_activeBranches << cd;
            m_activeBranchIndex << b - 1;
        }
        if ((b == 1 || b == 6) && !rescinded)
            m_centres << cd;
        progressEvery(out, table, total, next);
    }
    out.flush();
    report(table, out.rows(), total);
}

void DemoGenerator::writeProducts()
{
    const QString table = QStringLiteral("PRODUTO");
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    qint64 next = kProgressStep;
    DemoRandom random(m_options.seed, sProducts);
    const QList<DemoSection> sections = DemoNames::sections();
    const QStringList brands = DemoNames::brands();
    const int sectionCount = int(sections.size());
    const qint64 total = m_options.products;
    m_basePriceCents.resize(m_options.products);

    for (int p = 0; p < m_options.products; ++p) {
        // Round-robin over the sections; an item number past 9999 continues in a section
        // code 100 further on, so the tree code stays DDSSSIIII and unique.
        const DemoSection &s = sections.at(p % sectionCount);
        const int item = p / sectionCount;
        const int section = s.section + 100 * (item / 9999);
        const QString tree = code(s.department, 2) + code(section, 3) + code(item % 9999 + 1, 4);

        const QString name =
            pick(random, s.bases) + QLatin1Char(' ') + pick(random, brands) + QLatin1Char(' ') + pick(random, s.sizes);
        m_basePriceCents[p] = random.range(s.minCents, s.maxCents);
        const QString shown = clip(name, 50);
        out.add({code(p + 1, 10), tree, shown, TextFold::fold(shown)});
        progressEvery(out, table, total, next);
    }
    out.flush();
    report(table, out.rows(), total);
}

void DemoGenerator::writeOperators()
{
    const QString table = QStringLiteral("OPERADOR");
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    DemoRandom random(m_options.seed, sOperators);
    for (int o = 1; o <= m_options.operators; ++o) {
        const QString cd = code(o, 6);
        m_operatorCodes << cd;
        out.add({cd, clip(personName(random), 40)});
    }
    out.flush();
    report(table, out.rows(), out.rows());

    // The buyers: a seeded choice among the operators, in code order.
    QVector<int> order(m_options.operators);
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    for (int i = int(order.size()) - 1; i > 0; --i)
        std::swap(order[i], order[random.bounded(i + 1)]);
    order.resize(m_options.buyers);
    std::sort(order.begin(), order.end());

    const QString buyersTable = QStringLiteral("COMPRADOR");
    BulkInserter buyers(m_db, m_dialect, DemoSchema::table(buyersTable), m_label);
    for (int i : order) {
        m_buyerCodes << m_operatorCodes.at(i);
        buyers.add({m_operatorCodes.at(i)});
    }
    buyers.flush();
    report(buyersTable, buyers.rows(), buyers.rows());
}

void DemoGenerator::writeSuppliers()
{
    const QString table = QStringLiteral("FORNECEDOR");
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    qint64 next = kProgressStep;
    DemoRandom random(m_options.seed, sSuppliers);
    const QStringList prefixes = DemoNames::supplierPrefixes();
    const QStringList cores = DemoNames::supplierCores();
    const QStringList regions = DemoNames::supplierRegions();
    const QStringList activities = DemoNames::supplierActivities();
    const QStringList farms = DemoNames::farmKinds();
    const QStringList others = DemoNames::otherKinds();
    const qint64 total = m_options.suppliers;

    for (int f = 1; f <= m_options.suppliers; ++f) {
        // The first four are one of each person type, all quoted; the fifth is never
        // quoted; the rest are mostly legal entities, four in five of them quoted.
        QChar type;
        switch (f) {
        case 1: type = u'J'; break;
        case 2: type = u'F'; break;
        case 3: type = u'O'; break;
        case 4: type = u'I'; break;
        case 5: type = u'J'; break;
        default: {
            const double u = random.unit();
            type = u < 0.75 ? u'J' : u < 0.88 ? u'F' : u < 0.95 ? u'O' : u'I';
        }
        }
        const bool quoted = f <= 4 || (f > 5 && random.chance(0.8));

        QString number;
        QString trade;
        QString company;
        if (type == u'F') {
            number = cpf(random);
            company = personName(random);
            trade = pick(random, farms) + QLatin1Char(' ') + pick(random, m_surnames);
        } else if (type == u'O') {
            number = digits(random, 11);
            trade = pick(random, others) + QLatin1Char(' ') + pick(random, cores);
            company = trade;
        } else {
            number = cnpj(random);
            const QString core = pick(random, cores);
            const QString region = pick(random, regions);
            trade = pick(random, prefixes) + QLatin1Char(' ') + core
                    + (region.isEmpty() ? QString() : QLatin1Char(' ') + region);
            company = core + QLatin1Char(' ') + pick(random, activities)
                      + (random.chance(0.7) ? QStringLiteral(" Ltda") : QStringLiteral(" S.A."));
        }
        const QString cd = code(f, 6);
        out.add({cd, QString(type), number, clip(trade, 40), clip(company, 40)});
        if (quoted)
            m_quotedSuppliers << cd;
        progressEvery(out, table, total, next);
    }
    out.flush();
    report(table, out.rows(), total);
}

void DemoGenerator::writeQuotes()
{
    const QString table = QStringLiteral("COTACAO");
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    qint64 next = kProgressStep;
    DemoRandom random(m_options.seed, sQuotes);
    const int products = m_options.products;
    qint64 total = m_options.quotes > 0 ? m_options.quotes : qint64(products) * 3;
    if (products == 0 || m_quotedSuppliers.isEmpty() || m_activeBranches.isEmpty())
        total = 0;
    const QStringList &buyers = m_buyerCodes.isEmpty() ? m_operatorCodes : m_buyerCodes;

    const double perProduct = products > 0 ? double(total) / products : 0.0;
    qint64 written = 0;
    qint64 number = 0;
    QVector<int> starts;
    for (int p = 0; p < products && written < total; ++p) {
        // Cumulative target with jitter: products get 0 to about 6 quotes, the sum is exact.
        qint64 upTo = total;
        if (p < products - 1) {
            const double target = (p + 1) * perProduct + (random.unit() * 3.0 - 1.5);
            upTo = qBound(written, qint64(std::floor(target)), total);
        }
        const int count = int(upTo - written);
        if (count == 0)
            continue;
        starts.resize(count);
        for (int &s : starts)
            s = random.range(kQuoteFirstDay, kQuoteLastDay);
        std::sort(starts.begin(), starts.end());

        const QString product = code(p + 1, 10);
        const int base = m_basePriceCents.at(p);
        for (int start : starts) {
            const double u = random.unit();
            const QString &branch =
                (!m_centres.isEmpty() && u < 0.6) ? pick(random, m_centres) : pick(random, m_activeBranches);
            const QString &supplier = pick(random, m_quotedSuppliers);
            const QVariant buyer = buyers.isEmpty() ? nullText() : QVariant(pick(random, buyers));
            const int length = random.range(7, 35);
            // Prices drift up slowly over time and vary by supplier.
            const double drift = 1.0 + 0.002 * (start - kQuoteFirstDay) / 7.0;
            double price = base / 100.0 * (0.85 + 0.30 * random.unit()) * drift;
            price = random.chance(0.1) ? std::round(price * 10000.0) / 10000.0 : std::round(price * 100.0) / 100.0;
            static constexpr double ipiRates[] = {0.0, 0.0, 0.0, 0.0, 5.0, 10.0, 15.0};
            const double ipi = ipiRates[random.bounded(int(std::size(ipiRates)))];
            const double discount = random.chance(0.6) ? 0.0 : random.range(1, 16) * 0.5;
            out.add({++number, branch, supplier, product, buyer, dateValue(start), dateValue(start + length), price,
                     ipi, discount});
            progressEvery(out, table, total, next);
        }
        written = upTo;
    }
    out.flush();
    report(table, out.rows(), out.rows());
}

void DemoGenerator::writeProductBranches()
{
    const QString table = QStringLiteral("PRODFILIAL");
    DemoRandom random(m_options.seed, sProductBranches);
    const int active = int(m_activeBranches.size());
    const int first = m_options.branches >= 1 ? 0 : -1; // indices into m_branchCodes
    const int second = m_options.branches >= 2 ? 1 : -1;

    // Pairs (branch, product) drawn per product, then written in key order: appending to
    // the primary key is much faster than inserting all over it.
    QVector<QPair<int, int>> pairs;
    pairs.reserve(qsizetype(m_options.products) * 2);
    QVarLengthArray<int, 4> chosen;
    for (int p = 0; p < m_options.products; ++p) {
        chosen.clear();
        if (first >= 0 && random.chance(0.6))
            chosen.append(first);
        if (second >= 0 && random.chance(0.5))
            chosen.append(second);
        const int extra = active == 0 ? 0 : random.range(0, 2);
        for (int i = 0; i < extra; ++i) {
            const int b = m_activeBranchIndex.at(random.bounded(active));
            if (!chosen.contains(b))
                chosen.append(b);
        }
        for (int b : chosen)
            pairs.append({b, p});
    }
    std::sort(pairs.begin(), pairs.end());

    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    qint64 next = kProgressStep;
    const qint64 total = pairs.size();
    for (const auto &[b, p] : std::as_const(pairs)) {
        out.add({m_branchCodes.at(b), code(p + 1, 10)});
        progressEvery(out, table, total, next);
    }
    out.flush();
    report(table, out.rows(), total);
}

void DemoGenerator::writePictures()
{
    const QString table = QStringLiteral("PICTURA");
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    out.add({0, m_options.productPicture});
    out.flush();
    report(table, out.rows(), out.rows());
}

void DemoGenerator::writeStockMovements()
{
    const QString table = QStringLiteral("MOVESTOQUE");
    DemoRandom random(m_options.seed, sStock);
    BulkInserter out(m_db, m_dialect, DemoSchema::table(table), m_label);
    const int products = qMin(m_options.products, kStockProducts);
    const int branches = qMin(int(m_activeBranches.size()), kStockBranches);
    qint64 number = 0;
    QVector<int> days;
    for (int p = 0; p < products; ++p) {
        const QString product = code(p + 1, 10);
        for (int b = 0; b < branches; ++b) {
            if (!random.chance(0.7))
                continue;
            // An opening entry, then entries and exits that never take the stock below zero.
            int stock = random.range(50, 500);
            out.add({++number, m_activeBranches.at(b), product, dateValue(kStockFirstDay), stock});
            days.resize(random.range(2, 6));
            for (int &d : days)
                d = random.range(kStockFirstDay + 1, kStockLastDay);
            std::sort(days.begin(), days.end());
            for (int d : days) {
                const int quantity = random.chance(0.4) ? random.range(10, 200) : -random.range(0, stock);
                if (quantity == 0)
                    continue;
                stock += quantity;
                out.add({++number, m_activeBranches.at(b), product, dateValue(d), quantity});
            }
        }
    }
    out.flush();
    report(table, out.rows(), out.rows());
}
