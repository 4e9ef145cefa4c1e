#include "report/ReportExpression.h"
#include "report/ReportFormat.h"

#include <QDate>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

// ---------------------------------------------------------------------------------------
// The tree
// ---------------------------------------------------------------------------------------

namespace {

enum class NodeKind { Literal, Field, Param, Negate, Not, Binary, Call, If, Total, Page, PageCount, Issued };

enum class BinaryOp { Add, Sub, Mul, Div, Concat, Eq, Ne, Lt, Le, Gt, Ge, And, Or };

using Values = QList<QVariant>;

struct Function
{
    const char *name;
    int minArgs;
    int maxArgs;
    ExpressionType result;
    QVariant (*call)(const Values &args);
};

bool isNull(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

double number(const QVariant &v, bool *ok)
{
    if (v.typeId() == QMetaType::Bool) {
        *ok = true;
        return v.toBool() ? 1 : 0;
    }
    return ReportFormat::toNumber(v, ok);
}

bool isDate(const QVariant &v)
{
    return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime;
}

QString text(const QVariant &v)
{
    if (isNull(v))
        return QString();
    if (isDate(v))
        return ReportFormat::date(ReportFormat::toDate(v));
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("sim") : QStringLiteral("não");
    case QMetaType::Double:
    case QMetaType::Float:
        // A number joined to a text keeps its own digits; format() gives it others.
        return ReportFormat::shortest(v.toDouble());
    default:
        return v.toString();
    }
}

QVariant numberArg(const Values &a, int i)
{
    bool ok = false;
    const double d = number(a.value(i), &ok);
    return ok ? QVariant(d) : QVariant();
}

// A count or a place given as an argument (how many characters, how many decimals), cut to
// a whole number; none when it is not a number or lies outside from..to, where no answer
// would mean anything: such an argument leaves the call without a value, as a division by
// zero does.
std::optional<int> wholeArg(const Values &a, int i, int from, int to)
{
    const QVariant n = numberArg(a, i);
    if (isNull(n))
        return std::nullopt;
    const double d = std::trunc(n.toDouble());
    if (!(d >= from && d <= to))
        return std::nullopt;
    return int(d);
}

// Characters a text function may count: more than any text a report holds.
constexpr int maxCount = 1 << 24;

QVariant fnUpper(const Values &a) { return isNull(a[0]) ? QVariant() : QVariant(text(a[0]).toUpper()); }
QVariant fnLower(const Values &a) { return isNull(a[0]) ? QVariant() : QVariant(text(a[0]).toLower()); }
QVariant fnTrim(const Values &a) { return isNull(a[0]) ? QVariant() : QVariant(text(a[0]).trimmed()); }
QVariant fnLen(const Values &a) { return isNull(a[0]) ? QVariant() : QVariant(double(text(a[0]).size())); }

QVariant fnLeft(const Values &a)
{
    const std::optional<int> n = wholeArg(a, 1, 0, maxCount);
    if (isNull(a[0]) || !n)
        return QVariant();
    return text(a[0]).left(*n);
}

QVariant fnRight(const Values &a)
{
    const std::optional<int> n = wholeArg(a, 1, 0, maxCount);
    if (isNull(a[0]) || !n)
        return QVariant();
    return text(a[0]).right(*n);
}

// substr(text, start, length): start counts from 1, as a person counts.
QVariant fnSubstr(const Values &a)
{
    const std::optional<int> start = wholeArg(a, 1, 1, maxCount);
    if (isNull(a[0]) || !start)
        return QVariant();
    if (a.size() < 3)
        return text(a[0]).mid(*start - 1);
    const std::optional<int> length = wholeArg(a, 2, 0, maxCount);
    return length ? QVariant(text(a[0]).mid(*start - 1, *length)) : QVariant();
}

QVariant fnRound(const Values &a)
{
    const QVariant x = numberArg(a, 0);
    // Beyond 15 decimals a double holds no more digits to round to.
    const std::optional<int> decimals = a.size() > 1 ? wholeArg(a, 1, 0, 15) : std::optional<int>(0);
    if (isNull(x) || !decimals)
        return QVariant();
    const double scale = std::pow(10.0, *decimals);
    // Half away from zero on the decimal the author sees: 2.345 is stored a hair below, and
    // still rounds to 2.35.
    const double scaled = x.toDouble() * scale;
    const double rounded = std::round(scaled + std::copysign(1e-9, scaled)) / scale;
    return std::isfinite(rounded) ? QVariant(rounded) : QVariant();
}

QVariant fnAbs(const Values &a)
{
    const QVariant x = numberArg(a, 0);
    return isNull(x) ? QVariant() : QVariant(std::fabs(x.toDouble()));
}

QVariant fnCoalesce(const Values &a)
{
    for (const QVariant &v : a)
        if (!isNull(v))
            return v;
    return QVariant();
}

QVariant fnIsNull(const Values &a) { return isNull(a[0]); }

QVariant fnFormat(const Values &a)
{
    if (isNull(a[0]))
        return QString();
    return ReportFormat::display(a[0], text(a[1]));
}

QVariant datePart(const QVariant &v, int (QDate::*part)() const)
{
    const QDate d = ReportFormat::toDate(v);
    return d.isValid() ? QVariant(double((d.*part)())) : QVariant();
}

QVariant fnYear(const Values &a) { return datePart(a[0], &QDate::year); }
QVariant fnMonth(const Values &a) { return datePart(a[0], &QDate::month); }
QVariant fnDay(const Values &a) { return datePart(a[0], &QDate::day); }
QVariant fnToday(const Values &) { return QDate::currentDate(); }

// Functions computed from their arguments alone. if, the totals and the page functions
// are part of the grammar (they read the scope or skip an argument).
const Function functions[] = {
    {"upper", 1, 1, ExpressionType::Text, fnUpper},
    {"lower", 1, 1, ExpressionType::Text, fnLower},
    {"trim", 1, 1, ExpressionType::Text, fnTrim},
    {"len", 1, 1, ExpressionType::Number, fnLen},
    {"left", 2, 2, ExpressionType::Text, fnLeft},
    {"right", 2, 2, ExpressionType::Text, fnRight},
    {"substr", 2, 3, ExpressionType::Text, fnSubstr},
    {"round", 1, 2, ExpressionType::Number, fnRound},
    {"abs", 1, 1, ExpressionType::Number, fnAbs},
    {"coalesce", 1, 16, ExpressionType::Any, fnCoalesce},
    {"isnull", 1, 1, ExpressionType::Bool, fnIsNull},
    {"format", 2, 2, ExpressionType::Text, fnFormat},
    {"year", 1, 1, ExpressionType::Number, fnYear},
    {"month", 1, 1, ExpressionType::Number, fnMonth},
    {"day", 1, 1, ExpressionType::Number, fnDay},
    {"today", 0, 0, ExpressionType::Date, fnToday},
};

const Function *findFunction(const QString &name)
{
    for (const Function &f : functions)
        if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

struct TotalName
{
    const char *name;
    ReportExpression::TotalOp op;
};

const TotalName totalNames[] = {{"count", ReportExpression::TotalOp::Count},
                                {"sum", ReportExpression::TotalOp::Sum},
                                {"min", ReportExpression::TotalOp::Min},
                                {"max", ReportExpression::TotalOp::Max},
                                {"avg", ReportExpression::TotalOp::Avg}};

const TotalName *findTotal(const QString &name)
{
    for (const TotalName &t : totalNames)
        if (name.compare(QLatin1String(t.name), Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString typeName(ExpressionType t)
{
    switch (t) {
    case ExpressionType::Number:
        return QStringLiteral("número");
    case ExpressionType::Text:
        return QStringLiteral("texto");
    case ExpressionType::Date:
        return QStringLiteral("data");
    case ExpressionType::Bool:
        return QStringLiteral("condição");
    case ExpressionType::Any:
        break;
    }
    return QStringLiteral("valor");
}

} // namespace

struct ReportExpression::Node
{
    NodeKind kind = NodeKind::Literal;
    ExpressionType type = ExpressionType::Any;
    QVariant value;              // Literal
    int index = -1;              // Field, Total
    QString name;                // Param
    BinaryOp op = BinaryOp::Add; // Binary
    const Function *function = nullptr;
    std::vector<std::unique_ptr<Node>> args;
};

QString ExpressionError::describe() const
{
    if (!isError())
        return QString();
    return QStringLiteral("posição %1: %2").arg(position + 1).arg(message);
}

// ---------------------------------------------------------------------------------------
// Reading the text
// ---------------------------------------------------------------------------------------

namespace {

struct Token
{
    enum Kind { End, Number, String, Name, Param, Symbol } kind = End;
    QString text;
    QVariant value;
    int position = 0;
    int length = 0;
};

// A fault found while reading; carries its place out of the recursive descent.
struct Fault
{
    ExpressionError error;
};

[[noreturn]] void fail(int position, int length, const QString &message)
{
    throw Fault{ExpressionError{position, qMax(1, length), message}};
}

class Lexer
{
public:
    explicit Lexer(const QString &text) : m_text(text) { }

    QList<Token> tokens()
    {
        QList<Token> out;
        for (;;) {
            skipSpace();
            if (m_pos >= m_text.size()) {
                out << Token{Token::End, QString(), QVariant(), int(m_text.size()), 0};
                return out;
            }
            out << next();
        }
    }

private:
    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    static bool nameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

    Token next()
    {
        const int start = int(m_pos);
        const QChar c = m_text.at(m_pos);
        if (c.isDigit() || (c == QLatin1Char('.') && m_pos + 1 < m_text.size() && m_text.at(m_pos + 1).isDigit()))
            return numberToken(start);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"'))
            return stringToken(start, c);
        if (c == QLatin1Char(':')) {
            ++m_pos;
            while (m_pos < m_text.size() && nameChar(m_text.at(m_pos)))
                ++m_pos;
            if (m_pos == start + 1)
                fail(start, 1, QStringLiteral("depois de ':' vem o nome de um parâmetro, como :P_NOME"));
            return Token{Token::Param, m_text.mid(start + 1, m_pos - start - 1), QVariant(), start,
                         int(m_pos) - start};
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            while (m_pos < m_text.size() && nameChar(m_text.at(m_pos)))
                ++m_pos;
            return Token{Token::Name, m_text.mid(start, m_pos - start), QVariant(), start, int(m_pos) - start};
        }
        static const char *const twoChar[] = {"<=", ">=", "<>", "!="};
        for (const char *s : twoChar)
            if (m_text.mid(m_pos, 2) == QLatin1String(s)) {
                m_pos += 2;
                return Token{Token::Symbol, QLatin1String(s), QVariant(), start, 2};
            }
        if (QStringLiteral("+-*/&=<>(),").contains(c)) {
            ++m_pos;
            return Token{Token::Symbol, QString(c), QVariant(), start, 1};
        }
        fail(start, 1, QStringLiteral("o caractere '%1' não faz parte de uma expressão").arg(c));
    }

    Token numberToken(int start)
    {
        while (m_pos < m_text.size() && (m_text.at(m_pos).isDigit() || m_text.at(m_pos) == QLatin1Char('.')))
            ++m_pos;
        const QString digits = m_text.mid(start, m_pos - start);
        bool ok = false;
        const double d = digits.toDouble(&ok);
        if (!ok)
            fail(start, digits.size(), QStringLiteral("'%1' não é um número (use ponto para os decimais)").arg(digits));
        return Token{Token::Number, digits, d, start, int(m_pos) - start};
    }

    Token stringToken(int start, QChar quote)
    {
        QString value;
        ++m_pos;
        for (;;) {
            if (m_pos >= m_text.size())
                fail(start, int(m_pos) - start, QStringLiteral("o texto aberto aqui não foi fechado com %1").arg(quote));
            const QChar c = m_text.at(m_pos++);
            if (c != quote) {
                value += c;
                continue;
            }
            // A quote written twice stands for itself: 'D''Ávila'.
            if (m_pos < m_text.size() && m_text.at(m_pos) == quote) {
                value += quote;
                ++m_pos;
                continue;
            }
            return Token{Token::String, value, value, start, int(m_pos) - start};
        }
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

} // namespace

class ExpressionParser
{
public:
    using Node = ReportExpression::Node;
    using NodePtr = std::unique_ptr<Node>;

    ExpressionParser(const QString &text, const ExpressionNames &names, QList<ReportExpression::Total> &totals,
                     bool &usesPageCount, bool insideTotal = false)
        : m_names(names), m_totals(totals), m_usesPageCount(usesPageCount),
          m_text(text), m_insideTotal(insideTotal)
    { }

    // Bounds that keep a hostile text from exhausting the stack, here or when it runs:
    // the text's length bounds the tree, the depth bounds the descent.
    static constexpr int maxLength = 4000;
    static constexpr int maxDepth = 64;

    NodePtr parseAll()
    {
        if (m_text.size() > maxLength)
            fail(maxLength, 1, QStringLiteral("a expressão é longa demais (mais de %1 caracteres)").arg(maxLength));
        m_tokens = Lexer(m_text).tokens();
        if (peek().kind == Token::End)
            fail(0, 1, QStringLiteral("a expressão está vazia"));
        NodePtr root = parseOr();
        if (isSymbol(","))
            fail(peek().position, 1, QStringLiteral("',' fora dos argumentos de uma função: os decimais se escrevem "
                                                    "com ponto (1.5)"));
        if (peek().kind != Token::End)
            fail(peek().position, peek().length,
                 QStringLiteral("'%1' sobra depois do fim da expressão").arg(peek().text));
        return root;
    }

private:
    const Token &peek() const { return m_tokens.at(m_at); }
    Token take() { return m_tokens.at(m_at++); }

    bool isSymbol(const char *s) const { return peek().kind == Token::Symbol && peek().text == QLatin1String(s); }
    bool isWord(const char *w) const
    {
        return peek().kind == Token::Name && peek().text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }

    void expect(const char *s, const QString &what)
    {
        if (!isSymbol(s))
            fail(peek().position, peek().length, QStringLiteral("falta %1").arg(what));
        take();
    }

    // The type an operand must have; Any passes, as its value is known only at run time.
    void require(const NodePtr &n, const Token &at, ExpressionType wanted, const QString &role)
    {
        if (n->type == ExpressionType::Any || n->type == wanted)
            return;
        fail(at.position, at.length,
             QStringLiteral("%1 precisa de %2, e recebeu %3").arg(role, typeName(wanted), typeName(n->type)));
    }

    static NodePtr binary(BinaryOp op, NodePtr a, NodePtr b, ExpressionType type)
    {
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Binary;
        n->op = op;
        n->type = type;
        n->args.push_back(std::move(a));
        n->args.push_back(std::move(b));
        return n;
    }

    // Counts the nesting of parentheses, arguments, signs and negations.
    struct Depth
    {
        Depth(ExpressionParser &p, const Token &at) : parser(p)
        {
            if (++parser.m_depth > maxDepth)
                fail(at.position, at.length,
                     QStringLiteral("a expressão se aninha demais (mais de %1 níveis)").arg(maxDepth));
        }
        ~Depth() { --parser.m_depth; }
        ExpressionParser &parser;
    };

    NodePtr parseOr()
    {
        const Depth depth(*this, peek());
        NodePtr left = parseAnd();
        while (isWord("or")) {
            const Token op = take();
            NodePtr right = parseAnd();
            require(left, op, ExpressionType::Bool, QStringLiteral("'or'"));
            require(right, op, ExpressionType::Bool, QStringLiteral("'or'"));
            left = binary(BinaryOp::Or, std::move(left), std::move(right), ExpressionType::Bool);
        }
        return left;
    }

    NodePtr parseAnd()
    {
        NodePtr left = parseNot();
        while (isWord("and")) {
            const Token op = take();
            NodePtr right = parseNot();
            require(left, op, ExpressionType::Bool, QStringLiteral("'and'"));
            require(right, op, ExpressionType::Bool, QStringLiteral("'and'"));
            left = binary(BinaryOp::And, std::move(left), std::move(right), ExpressionType::Bool);
        }
        return left;
    }

    NodePtr parseNot()
    {
        if (!isWord("not"))
            return parseComparison();
        const Token op = take();
        const Depth depth(*this, op);
        NodePtr operand = parseNot();
        require(operand, op, ExpressionType::Bool, QStringLiteral("'not'"));
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Not;
        n->type = ExpressionType::Bool;
        n->args.push_back(std::move(operand));
        return n;
    }

    // A text beside a number is compared as a number when it reads as one (a code '0001'
    // against 1); dates and conditions compare only with their own kind.
    static bool comparable(ExpressionType a, ExpressionType b)
    {
        if (a == ExpressionType::Any || b == ExpressionType::Any || a == b)
            return true;
        const auto textOrNumber = [](ExpressionType t) { return t == ExpressionType::Text || t == ExpressionType::Number; };
        return textOrNumber(a) && textOrNumber(b);
    }

    NodePtr parseComparison()
    {
        NodePtr left = parseConcat();
        static const std::pair<const char *, BinaryOp> ops[] = {{"=", BinaryOp::Eq},  {"<>", BinaryOp::Ne},
                                                                {"!=", BinaryOp::Ne}, {"<=", BinaryOp::Le},
                                                                {">=", BinaryOp::Ge}, {"<", BinaryOp::Lt},
                                                                {">", BinaryOp::Gt}};
        for (const auto &[symbol, op] : ops) {
            if (!isSymbol(symbol))
                continue;
            const Token at = take();
            NodePtr right = parseConcat();
            if (!comparable(left->type, right->type))
                fail(at.position, at.length,
                     QStringLiteral("'%1' compara %2 com %3").arg(at.text, typeName(left->type), typeName(right->type)));
            return binary(op, std::move(left), std::move(right), ExpressionType::Bool);
        }
        return left;
    }

    NodePtr parseConcat()
    {
        NodePtr left = parseAdditive();
        while (isSymbol("&")) {
            take();
            left = binary(BinaryOp::Concat, std::move(left), parseAdditive(), ExpressionType::Text);
        }
        return left;
    }

    // + and - on numbers, and dates: a date plus days is a date, a date minus a date is days.
    static ExpressionType additiveType(BinaryOp op, ExpressionType a, ExpressionType b)
    {
        if (a == ExpressionType::Date && op == BinaryOp::Sub && b == ExpressionType::Date)
            return ExpressionType::Number;
        if (a == ExpressionType::Date)
            return ExpressionType::Date;
        if (a == ExpressionType::Any || b == ExpressionType::Any)
            return ExpressionType::Any;
        return ExpressionType::Number;
    }

    NodePtr parseAdditive()
    {
        NodePtr left = parseMultiplicative();
        while (isSymbol("+") || isSymbol("-")) {
            const Token at = take();
            const BinaryOp op = at.text == QLatin1String("+") ? BinaryOp::Add : BinaryOp::Sub;
            NodePtr right = parseMultiplicative();
            if (left->type != ExpressionType::Date)
                require(left, at, ExpressionType::Number, QStringLiteral("'%1'").arg(at.text));
            if (!(left->type == ExpressionType::Date && op == BinaryOp::Sub && right->type == ExpressionType::Date))
                require(right, at, ExpressionType::Number, QStringLiteral("'%1'").arg(at.text));
            const ExpressionType type = additiveType(op, left->type, right->type);
            left = binary(op, std::move(left), std::move(right), type);
        }
        return left;
    }

    NodePtr parseMultiplicative()
    {
        NodePtr left = parseUnary();
        while (isSymbol("*") || isSymbol("/")) {
            const Token at = take();
            NodePtr right = parseUnary();
            require(left, at, ExpressionType::Number, QStringLiteral("'%1'").arg(at.text));
            require(right, at, ExpressionType::Number, QStringLiteral("'%1'").arg(at.text));
            left = binary(at.text == QLatin1String("*") ? BinaryOp::Mul : BinaryOp::Div, std::move(left),
                          std::move(right), ExpressionType::Number);
        }
        return left;
    }

    NodePtr parseUnary()
    {
        if (!isSymbol("-"))
            return parsePrimary();
        const Token at = take();
        const Depth depth(*this, at);
        NodePtr operand = parseUnary();
        require(operand, at, ExpressionType::Number, QStringLiteral("'-'"));
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Negate;
        n->type = ExpressionType::Number;
        n->args.push_back(std::move(operand));
        return n;
    }

    static NodePtr literal(const QVariant &value, ExpressionType type)
    {
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Literal;
        n->value = value;
        n->type = type;
        return n;
    }

    NodePtr parsePrimary()
    {
        const Token t = take();
        switch (t.kind) {
        case Token::Number:
            return literal(t.value, ExpressionType::Number);
        case Token::String:
            return literal(t.value, ExpressionType::Text);
        case Token::Param:
            return param(t);
        case Token::Name:
            return name(t);
        case Token::Symbol:
            if (t.text == QLatin1String("(")) {
                NodePtr inner = parseOr();
                expect(")", QStringLiteral("')' para fechar o '(' da posição %1").arg(t.position + 1));
                return inner;
            }
            fail(t.position, t.length, QStringLiteral("'%1' está fora do lugar").arg(t.text));
        case Token::End:
            break;
        }
        // The text ended where a value was due: say after what, as the author reads it.
        const Token &before = m_tokens.at(qMax<qsizetype>(0, m_at - 2));
        fail(t.position, 1, QStringLiteral("falta um valor depois de '%1'").arg(before.text));
    }

    NodePtr param(const Token &t)
    {
        if (!m_names.params.contains(t.text, Qt::CaseInsensitive))
            fail(t.position, t.length, QStringLiteral("o parâmetro :%1 não existe neste relatório").arg(t.text));
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Param;
        n->name = t.text.toUpper();
        return n;
    }

    NodePtr name(const Token &t)
    {
        if (isSymbol("("))
            return call(t);
        if (t.text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return literal(true, ExpressionType::Bool);
        if (t.text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return literal(false, ExpressionType::Bool);
        if (t.text.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
            return literal(QVariant(), ExpressionType::Any);
        const int index = fieldIndex(t.text);
        if (index < 0)
            fail(t.position, t.length, QStringLiteral("o campo %1 não existe na consulta").arg(t.text));
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Field;
        n->index = index;
        n->type = m_names.fieldTypes.value(index, ExpressionType::Any);
        return n;
    }

    int fieldIndex(const QString &field) const
    {
        for (qsizetype i = 0; i < m_names.fields.size(); ++i)
            if (m_names.fields.at(i).compare(field, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }

    // The arguments between the parentheses, each with the token it starts at.
    std::vector<std::pair<Token, NodePtr>> arguments()
    {
        expect("(", QStringLiteral("'('"));
        std::vector<std::pair<Token, NodePtr>> args;
        if (isSymbol(")")) {
            take();
            return args;
        }
        for (;;) {
            const Token at = peek();
            args.emplace_back(at, parseOr());
            if (isSymbol(")")) {
                take();
                return args;
            }
            expect(",", QStringLiteral("',' ou ')' entre os argumentos"));
        }
    }

    NodePtr call(const Token &t)
    {
        const QString fn = t.text.toLower();
        if (fn == QLatin1String("if"))
            return conditional(t);
        if (const TotalName *total = findTotal(fn))
            return totalCall(t, *total);
        if (fn == QLatin1String("page") || fn == QLatin1String("pages") || fn == QLatin1String("issued"))
            return pageCall(t, fn);
        const Function *f = findFunction(fn);
        if (!f)
            fail(t.position, t.length, QStringLiteral("a função %1 não existe").arg(t.text));
        auto args = arguments();
        checkCount(t, int(args.size()), f->minArgs, f->maxArgs);
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Call;
        n->function = f;
        n->type = f->result;
        for (auto &a : args)
            n->args.push_back(std::move(a.second));
        return n;
    }

    static void checkCount(const Token &t, int count, int min, int max)
    {
        if (count >= min && count <= max)
            return;
        const QString wanted = min == max ? QString::number(min) : QStringLiteral("de %1 a %2").arg(min).arg(max);
        fail(t.position, t.length,
             QStringLiteral("%1 recebe %2 argumento(s), e recebeu %3").arg(t.text, wanted).arg(count));
    }

    NodePtr conditional(const Token &t)
    {
        auto args = arguments();
        checkCount(t, int(args.size()), 3, 3);
        require(args[0].second, args[0].first, ExpressionType::Bool, QStringLiteral("a condição do if"));
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::If;
        const ExpressionType a = args[1].second->type, b = args[2].second->type;
        n->type = a == b ? a : ExpressionType::Any;
        for (auto &arg : args)
            n->args.push_back(std::move(arg.second));
        return n;
    }

    NodePtr pageCall(const Token &t, const QString &fn)
    {
        checkCount(t, int(arguments().size()), 0, 0);
        if (m_insideTotal)
            fail(t.position, t.length, QStringLiteral("%1() não cabe dentro de um total").arg(fn));
        auto n = std::make_unique<Node>();
        if (fn == QLatin1String("page")) {
            n->kind = NodeKind::Page;
            n->type = ExpressionType::Number;
        } else if (fn == QLatin1String("pages")) {
            n->kind = NodeKind::PageCount;
            n->type = ExpressionType::Number;
            m_usesPageCount = true;
        } else {
            n->kind = NodeKind::Issued;
            n->type = ExpressionType::Date;
        }
        return n;
    }

    NodePtr totalCall(const Token &t, const TotalName &total)
    {
        if (m_insideTotal)
            fail(t.position, t.length, QStringLiteral("um total não pode estar dentro de outro"));
        if (!m_names.totalsAllowed)
            fail(t.position, t.length,
                 QStringLiteral("%1() só vale no rodapé de um grupo ou no resumo do relatório").arg(t.text));
        const int open = peek().position;
        m_insideTotal = true; // no total or page function inside a total
        auto args = arguments();
        m_insideTotal = false;
        const bool isCount = total.op == ReportExpression::TotalOp::Count;
        checkCount(t, int(args.size()), isCount ? 0 : 1, 1);
        const bool numeric = total.op == ReportExpression::TotalOp::Sum || total.op == ReportExpression::TotalOp::Avg;
        ReportExpression::Total slot;
        slot.op = total.op;
        if (!args.empty()) {
            if (numeric)
                require(args[0].second, args[0].first, ExpressionType::Number, QStringLiteral("%1()").arg(t.text));
            // The argument is an expression of its own, evaluated on every row.
            const int close = m_tokens.at(m_at - 1).position;
            slot.argument = argumentExpression(m_text.mid(open + 1, close - open - 1), open + 1);
        }
        auto n = std::make_unique<Node>();
        n->kind = NodeKind::Total;
        n->index = int(m_totals.size());
        n->type = (isCount || numeric) ? ExpressionType::Number : args[0].second->type;
        m_totals << slot;
        return n;
    }

    ReportExpression argumentExpression(const QString &text, int offset)
    {
        ExpressionNames rowNames = m_names;
        rowNames.totalsAllowed = false;
        ReportExpression argument;
        argument.m_text = text;
        bool unused = false;
        QList<ReportExpression::Total> none;
        try {
            ExpressionParser inner(text, rowNames, none, unused, true);
            argument.m_root = inner.parseAll();
        } catch (Fault &f) {
            f.error.position += offset;
            throw;
        }
        argument.m_totals = std::make_shared<QList<ReportExpression::Total>>();
        return argument;
    }

    QList<Token> m_tokens;
    const ExpressionNames &m_names;
    QList<ReportExpression::Total> &m_totals;
    bool &m_usesPageCount;
    QString m_text;
    bool m_insideTotal;
    qsizetype m_at = 0;
    int m_depth = 0;
};

// ---------------------------------------------------------------------------------------
// Running it
// ---------------------------------------------------------------------------------------

namespace {

struct Evaluator
{
    const ExpressionScope &scope;

    QVariant eval(const ReportExpression::Node &n) const;

    bool truth(const ReportExpression::Node &n) const
    {
        const QVariant v = eval(n);
        return !isNull(v) && v.toBool();
    }

    QVariant arithmetic(BinaryOp op, const QVariant &a, const QVariant &b) const
    {
        if (isNull(a) || isNull(b))
            return QVariant();
        if (isDate(a))
            return dateArithmetic(op, ReportFormat::toDate(a), b);
        bool okA = false, okB = false;
        const double x = number(a, &okA), y = number(b, &okB);
        if (!okA || !okB)
            return QVariant();
        double result = 0;
        switch (op) {
        case BinaryOp::Add: result = x + y; break;
        case BinaryOp::Sub: result = x - y; break;
        case BinaryOp::Mul: result = x * y; break;
        case BinaryOp::Div:
            // A division by zero has no value; the cell stays blank rather than failing the run.
            if (y == 0)
                return QVariant();
            result = x / y;
            break;
        default: return QVariant();
        }
        // Past what a double holds there is no number to show either.
        return std::isfinite(result) ? QVariant(result) : QVariant();
    }

    // A date plus or minus days is a date, a date minus a date is days. Dates run from the
    // year 1 to 9999, as the formats write them; a sum that leaves them has no value.
    static QVariant dateArithmetic(BinaryOp op, const QDate &d, const QVariant &b)
    {
        static const QDate first(1, 1, 1), last(9999, 12, 31);
        if (!d.isValid())
            return QVariant();
        if (isDate(b)) {
            const QDate other = ReportFormat::toDate(b);
            if (op != BinaryOp::Sub || !other.isValid())
                return QVariant();
            return double(other.daysTo(d));
        }
        bool ok = false;
        const double days = std::trunc(number(b, &ok));
        const double span = double(first.daysTo(last));
        if (!ok || !(std::fabs(days) <= span))
            return QVariant();
        const QDate result = d.addDays(op == BinaryOp::Add ? qint64(days) : -qint64(days));
        return result.isValid() && result >= first && result <= last ? QVariant(result) : QVariant();
    }

    // -1, 0, 1; or 2 when the two cannot be compared (a null). Two texts compare as text,
    // as the database compares them; a text beside a number compares as a number when it
    // reads as one ('0001' = 1).
    static int compare(const QVariant &a, const QVariant &b)
    {
        if (isNull(a) || isNull(b))
            return 2;
        if (isDate(a) || isDate(b)) {
            const QDate x = ReportFormat::toDate(a), y = ReportFormat::toDate(b);
            if (!x.isValid() || !y.isValid())
                return 2;
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        const bool bothText = a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString;
        if (!bothText) {
            bool okA = false, okB = false;
            const double x = number(a, &okA), y = number(b, &okB);
            if (okA && okB)
                return x < y ? -1 : (x > y ? 1 : 0);
        }
        const int c = text(a).compare(text(b));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }

    QVariant comparison(BinaryOp op, const QVariant &a, const QVariant &b) const
    {
        const int c = compare(a, b);
        if (c == 2)
            return QVariant();
        switch (op) {
        case BinaryOp::Eq:
            return c == 0;
        case BinaryOp::Ne:
            return c != 0;
        case BinaryOp::Lt:
            return c < 0;
        case BinaryOp::Le:
            return c <= 0;
        case BinaryOp::Gt:
            return c > 0;
        default:
            return c >= 0;
        }
    }

    QVariant binary(const ReportExpression::Node &n) const
    {
        switch (n.op) {
        case BinaryOp::And:
            return truth(*n.args[0]) && truth(*n.args[1]);
        case BinaryOp::Or:
            return truth(*n.args[0]) || truth(*n.args[1]);
        case BinaryOp::Concat:
            return text(eval(*n.args[0])) + text(eval(*n.args[1]));
        case BinaryOp::Add:
        case BinaryOp::Sub:
        case BinaryOp::Mul:
        case BinaryOp::Div:
            return arithmetic(n.op, eval(*n.args[0]), eval(*n.args[1]));
        default:
            return comparison(n.op, eval(*n.args[0]), eval(*n.args[1]));
        }
    }
};

QVariant Evaluator::eval(const ReportExpression::Node &n) const
{
    switch (n.kind) {
    case NodeKind::Literal:
        return n.value;
    case NodeKind::Field:
        return scope.field(n.index);
    case NodeKind::Param:
        return scope.param(n.name);
    case NodeKind::Negate: {
        const QVariant v = eval(*n.args[0]);
        bool ok = false;
        const double d = number(v, &ok);
        return ok ? QVariant(-d) : QVariant();
    }
    case NodeKind::Not: {
        const QVariant v = eval(*n.args[0]);
        return isNull(v) ? QVariant() : QVariant(!v.toBool());
    }
    case NodeKind::Binary:
        return binary(n);
    case NodeKind::If:
        return truth(*n.args[0]) ? eval(*n.args[1]) : eval(*n.args[2]);
    case NodeKind::Call: {
        Values args;
        args.reserve(qsizetype(n.args.size()));
        for (const auto &a : n.args)
            args << eval(*a);
        return n.function->call(args);
    }
    case NodeKind::Total:
        return scope.total(n.index);
    case NodeKind::Page:
        return double(scope.page());
    case NodeKind::PageCount:
        return double(scope.pageCount());
    case NodeKind::Issued:
        return scope.issued().isValid() ? QVariant(scope.issued().date()) : QVariant();
    }
    return QVariant();
}

} // namespace

// ---------------------------------------------------------------------------------------
// ReportExpression
// ---------------------------------------------------------------------------------------

ReportExpression::ReportExpression() : m_totals(std::make_shared<QList<Total>>()) { }
ReportExpression::~ReportExpression() = default;
ReportExpression::ReportExpression(const ReportExpression &) = default;
ReportExpression &ReportExpression::operator=(const ReportExpression &) = default;

ReportExpression ReportExpression::compile(const QString &text, const ExpressionNames &names, ExpressionError *error)
{
    ReportExpression e;
    e.m_text = text;
    auto totals = std::make_shared<QList<Total>>();
    bool usesPageCount = false;
    try {
        ExpressionParser parser(text, names, *totals, usesPageCount);
        e.m_root = parser.parseAll();
        e.m_totals = totals;
        e.m_usesPageCount = usesPageCount;
        if (error)
            *error = ExpressionError();
    } catch (const Fault &f) {
        if (error)
            *error = f.error;
    }
    return e;
}

ExpressionError ReportExpression::check(const QString &text, const ExpressionNames &names)
{
    ExpressionError error;
    compile(text, names, &error);
    return error;
}

bool ReportExpression::isValid() const
{
    return bool(m_root);
}

ExpressionType ReportExpression::type() const
{
    return m_root ? m_root->type : ExpressionType::Any;
}

bool ReportExpression::usesPageCount() const
{
    return m_usesPageCount;
}

namespace {
bool readsField(const ReportExpression::Node &n)
{
    if (n.kind == NodeKind::Field)
        return true;
    for (const auto &a : n.args)
        if (readsField(*a))
            return true;
    return false;
}
} // namespace

bool ReportExpression::readsFields() const
{
    return m_root && readsField(*m_root);
}

QVariant ReportExpression::evaluate(const ExpressionScope &scope) const
{
    if (!m_root)
        return QVariant();
    return Evaluator{scope}.eval(*m_root);
}

bool ReportExpression::holds(const ExpressionScope &scope) const
{
    const QVariant v = evaluate(scope);
    return !isNull(v) && v.toBool();
}

const QList<ReportExpression::Total> &ReportExpression::totals() const
{
    return *m_totals;
}

// ---------------------------------------------------------------------------------------
// ExpressionTotals
// ---------------------------------------------------------------------------------------

ExpressionTotals::ExpressionTotals(const ReportExpression &expression)
    : m_totals(expression.totals()), m_running(expression.totals().size())
{ }

void ExpressionTotals::add(const ExpressionScope &row)
{
    for (qsizetype i = 0; i < m_totals.size(); ++i) {
        const ReportExpression::Total &t = m_totals.at(i);
        Running &r = m_running[i];
        if (!t.argument.isValid()) { // count(): rows
            ++r.count;
            continue;
        }
        const QVariant v = t.argument.evaluate(row);
        if (isNull(v))
            continue; // totals skip nulls, as SQL's do
        ++r.count;
        bool ok = false;
        const double d = number(v, &ok);
        if (ok)
            r.sum.add(d);
        if (!r.min.isValid() || Evaluator::compare(v, r.min) == -1)
            r.min = v;
        if (!r.max.isValid() || Evaluator::compare(v, r.max) == 1)
            r.max = v;
    }
}

void ExpressionTotals::reset()
{
    for (Running &r : m_running)
        r = Running();
}

QVariant ExpressionTotals::value(int slot) const
{
    if (slot < 0 || slot >= m_running.size())
        return QVariant();
    const Running &r = m_running.at(slot);
    switch (m_totals.at(slot).op) {
    case ReportExpression::TotalOp::Count:
        return double(r.count);
    case ReportExpression::TotalOp::Sum:
        return r.count ? QVariant(r.sum.value()) : QVariant();
    case ReportExpression::TotalOp::Avg:
        return r.count ? QVariant(r.sum.value() / double(r.count)) : QVariant();
    case ReportExpression::TotalOp::Min:
        return r.min;
    case ReportExpression::TotalOp::Max:
        return r.max;
    }
    return QVariant();
}
