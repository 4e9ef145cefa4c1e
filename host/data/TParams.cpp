#include "data/TParams.h"
#include "errors/EAbort.h"

QString fieldTypeName(TFieldType type)
{
    switch (type) {
    case TFieldType::ftUnknown: return QStringLiteral("unknown");
    case TFieldType::ftString: return QStringLiteral("string");
    case TFieldType::ftDate: return QStringLiteral("date");
    case TFieldType::ftDateTime: return QStringLiteral("datetime");
    case TFieldType::ftInteger: return QStringLiteral("integer");
    case TFieldType::ftFloat: return QStringLiteral("float");
    case TFieldType::ftBoolean: return QStringLiteral("boolean");
    }
    return QString();
}

void TParam::setValue(const QVariant &value)
{
    if (m_type == TFieldType::ftUnknown)
        m_type = TFieldType::ftString;
    m_value = value;
}

void TParam::setAsString(const QString &value)
{
    m_type = TFieldType::ftString;
    m_value = value;
}

void TParam::setAsDate(const QDate &value)
{
    m_type = TFieldType::ftDate;
    m_value = value.isValid() ? QVariant(value) : QVariant(QMetaType(QMetaType::QDate));
}

QString TParam::AsString() const
{
    if (m_value.isNull())
        return QString();
    if (m_value.metaType().id() == QMetaType::QDate)
        return m_value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    return m_value.toString();
}

QDate TParam::AsDate() const
{
    if (m_value.metaType().id() == QMetaType::QDate)
        return m_value.toDate();
    const QString text = m_value.toString();
    QDate d = QDate::fromString(text, QStringLiteral("dd/MM/yyyy"));
    if (!d.isValid())
        d = QDate::fromString(text, Qt::ISODate);
    return d;
}

QVariant TParam::boundValue() const
{
    if (m_value.isNull())
        return QVariant();
    switch (m_type) {
    case TFieldType::ftDate: {
        const QDate d = AsDate();
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::ftInteger: return m_value.toLongLong();
    case TFieldType::ftFloat: return m_value.toDouble();
    case TFieldType::ftString: return AsString();
    default: return m_value;
    }
}

TParams::TParams(const TParams &other)
{
    *this = other;
}

TParams &TParams::operator=(const TParams &other)
{
    if (this == &other)
        return *this;
    m_params.clear();
    for (const auto &p : other.m_params)
        m_params.push_back(std::make_unique<TParam>(*p));
    return *this;
}

TParam *TParams::FindParam(const QString &name) const
{
    for (const auto &p : m_params)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    return nullptr;
}

TParam &TParams::ParamByName(const QString &name) const
{
    if (TParam *p = FindParam(name))
        return *p;
    throw ESuiteError(QStringLiteral("Parâmetro '%1' não encontrado.").arg(name));
}

TParam &TParams::CreateParam(const QString &name, TFieldType type)
{
    if (TParam *p = FindParam(name))
        return *p;
    m_params.push_back(std::make_unique<TParam>(name, type));
    return *m_params.back();
}
