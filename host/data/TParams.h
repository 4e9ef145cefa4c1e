#pragma once

#include "suite_export.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

enum class TFieldType { ftUnknown, ftString, ftDate, ftDateTime, ftInteger, ftFloat, ftBoolean };

SUITE_EXPORT QString fieldTypeName(TFieldType type);

// One named parameter of a query: declared type plus value (null until assigned).
class SUITE_EXPORT TParam
{
public:
    explicit TParam(const QString &name, TFieldType type = TFieldType::ftUnknown) : m_name(name), m_type(type) { }

    QString Name() const { return m_name; }
    TFieldType DataType() const { return m_type; }
    void setDataType(TFieldType type) { m_type = type; }

    // Assigning a variant keeps a declared type; an undeclared parameter becomes a string.
    void setValue(const QVariant &value);
    QVariant Value() const { return m_value; }

    // AsString makes the parameter a string, AsDate a date.
    void setAsString(const QString &value);
    void setAsDate(const QDate &value);
    QString AsString() const;
    QDate AsDate() const;

    bool IsNull() const { return m_value.isNull(); }
    void Clear() { m_value = QVariant(); }

    // The value as it is bound to the database, converted to the declared type.
    QVariant boundValue() const;

private:
    QString m_name;
    TFieldType m_type;
    QVariant m_value;
};

// The parameter list of a query, in order of first appearance. Names compare
// without regard to case, as the database does.
class SUITE_EXPORT TParams
{
public:
    TParams() = default;
    TParams(const TParams &other);
    TParams &operator=(const TParams &other);

    int Count() const { return int(m_params.size()); }
    TParam &operator[](int index) { return *m_params.at(size_t(index)); }
    const TParam &operator[](int index) const { return *m_params.at(size_t(index)); }

    TParam *FindParam(const QString &name) const;
    // Raises ESuiteError when the list has no parameter of that name.
    TParam &ParamByName(const QString &name) const;
    TParam &CreateParam(const QString &name, TFieldType type = TFieldType::ftUnknown);
    void Clear() { m_params.clear(); }

private:
    std::vector<std::unique_ptr<TParam>> m_params;
};
