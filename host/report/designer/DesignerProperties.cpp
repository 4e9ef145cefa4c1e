#include "report/designer/DesignerProperties.h"
#include "report/designer/ColorField.h"
#include "report/designer/DesignerDocument.h"
#include "report/designer/ExpressionEdit.h"
#include "report/designer/FormatNames.h"
#include "report/designer/StyleRulesEditor.h"
#include "report/designer/WrapCheckBox.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

#include <cmath>

namespace {

const QList<std::pair<QString, QString>> alignments = {{QStringLiteral("left"), QStringLiteral("À esquerda")},
                                                       {QStringLiteral("center"), QStringLiteral("Ao centro")},
                                                       {QStringLiteral("right"), QStringLiteral("À direita")}};

QString kindText(ReportElement::Kind kind)
{
    switch (kind) {
    case ReportElement::Kind::Text: return QStringLiteral("Texto");
    case ReportElement::Kind::Field: return QStringLiteral("Campo");
    case ReportElement::Kind::Line: return QStringLiteral("Linha");
    case ReportElement::Kind::Rect: return QStringLiteral("Retângulo");
    case ReportElement::Kind::Image: return QStringLiteral("Imagem");
    }
    return QString();
}

QString bandKey(const DesignerBand &band)
{
    return QStringLiteral("%1:%2").arg(int(band.kind)).arg(band.level);
}

// A text longer than its box reads from its start, and whole in the tip.
void showStart(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
    edit->setCursorPosition(0);
    edit->setToolTip(edit->fontMetrics().horizontalAdvance(text) > edit->width() - 8 ? text : QString());
}

// A list of choices as narrow as the panel lets it be; its popup still shows them whole.
QComboBox *narrowCombo(QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(6);
    return combo;
}

} // namespace

DesignerProperties::DesignerProperties(DesignerDocument *document, QWidget *parent)
    : QScrollArea(parent), m_document(document)
{
    setObjectName(QStringLiteral("designerProperties"));
    setWidgetResizable(true);
    setMinimumWidth(260);
    // Everything wraps to the panel's width: a sideways scroll hides the ends of the rows.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void DesignerProperties::clear()
{
    m_loads.clear();
    delete takeWidget();
    m_form = new QWidget;
    m_layout = new QFormLayout(m_form);
    m_layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_layout->setRowWrapPolicy(QFormLayout::WrapLongRows);
    setWidget(m_form);
}

void DesignerProperties::heading(const QString &text)
{
    auto *label = new QLabel(QStringLiteral("<b>%1</b>").arg(text.toHtmlEscaped()), m_form);
    label->setWordWrap(true);
    m_layout->addRow(label);
}

QList<ExpressionEdit *> DesignerProperties::expressionEdits() const
{
    return m_form ? m_form->findChildren<ExpressionEdit *>() : QList<ExpressionEdit *>();
}

void DesignerProperties::commit(const QString &what, const Write &write, const QVariant &value, const QString &key)
{
    m_document->change(QStringLiteral("Alterar %1").arg(what.toLower()),
                       [&](ReportDefinition &d) { write(d, value); }, m_scope + QLatin1Char('/') + key);
}

void DesignerProperties::addText(const QString &label, const QString &key, const Read &read, const Write &write,
                                 const QStringList &choices)
{
    if (choices.isEmpty()) {
        auto *edit = new QLineEdit(m_form);
        edit->setObjectName(key);
        connect(edit, &QLineEdit::textEdited, this, [=, this](const QString &t) { commit(label, write, t, key); });
        m_loads << [=, this] {
            if (!edit->hasFocus())
                showStart(edit, read(m_document->definition()).toString());
        };
        m_layout->addRow(label, edit);
        return;
    }
    auto *combo = narrowCombo(m_form);
    combo->setObjectName(key);
    combo->setEditable(true);
    combo->addItems(choices);
    connect(combo, &QComboBox::currentTextChanged, this, [=, this](const QString &t) {
        if (!combo->signalsBlocked())
            commit(label, write, t, key);
    });
    m_loads << [=, this] {
        const QSignalBlocker block(combo);
        if (!combo->hasFocus())
            showStart(combo->lineEdit(), read(m_document->definition()).toString());
    };
    m_layout->addRow(label, combo);
}

void DesignerProperties::addFormat(const QString &label, const Read &read, const Write &write)
{
    const QString key = QStringLiteral("format");
    auto *combo = narrowCombo(m_form);
    combo->setObjectName(key);
    combo->setEditable(true);
    combo->addItems(FormatNames::offered());
    combo->setToolTip(QStringLiteral("Escolha um formato da lista ou escreva outro (ex.: Número, 3 casas; Máscara 99.999)."));
    connect(combo, &QComboBox::currentTextChanged, this, [=, this](const QString &t) {
        if (!combo->signalsBlocked())
            commit(label, write, FormatNames::key(t), key);
    });
    m_loads << [=, this] {
        const QSignalBlocker block(combo);
        if (combo->hasFocus())
            return;
        // On its item when the list has it, so that picking another is a change.
        const QString name = FormatNames::name(read(m_document->definition()).toString());
        combo->setCurrentIndex(combo->findText(name));
        showStart(combo->lineEdit(), name);
    };
    m_layout->addRow(label, combo);
}

void DesignerProperties::addNumber(const QString &label, const QString &key, const Read &read, const Write &write,
                                   double min, double max, double step, int decimals)
{
    auto *spin = new QDoubleSpinBox(m_form);
    spin->setObjectName(key);
    spin->setRange(min, max);
    spin->setSingleStep(step);
    spin->setDecimals(decimals);
    spin->setKeyboardTracking(false);
    connect(spin, &QDoubleSpinBox::valueChanged, this, [=, this](double v) {
        if (!spin->signalsBlocked())
            commit(label, write, v, key);
    });
    m_loads << [=, this] {
        const QSignalBlocker block(spin);
        spin->setValue(read(m_document->definition()).toDouble());
    };
    m_layout->addRow(label, spin);
}

void DesignerProperties::addCheck(const QString &label, const QString &key, const Read &read, const Write &write)
{
    auto *check = new WrapCheckBox(label, m_form);
    check->setObjectName(key);
    connect(check, &QCheckBox::toggled, this, [=, this](bool on) {
        if (!check->signalsBlocked())
            commit(label, write, on, key);
    });
    m_loads << [=, this] {
        const QSignalBlocker block(check);
        check->setChecked(read(m_document->definition()).toBool());
    };
    m_layout->addRow(check);
}

void DesignerProperties::addChoice(const QString &label, const QString &key,
                                   const QList<std::pair<QString, QString>> &choices, const Read &read,
                                   const Write &write)
{
    auto *combo = narrowCombo(m_form);
    combo->setObjectName(key);
    for (const auto &[value, text] : choices)
        combo->addItem(text, value);
    connect(combo, &QComboBox::currentIndexChanged, this, [=, this](int index) {
        if (!combo->signalsBlocked() && index >= 0)
            commit(label, write, combo->itemData(index), key);
    });
    m_loads << [=, this] {
        const QSignalBlocker block(combo);
        combo->setCurrentIndex(combo->findData(read(m_document->definition()).toString().toLower()));
    };
    m_layout->addRow(label, combo);
}

void DesignerProperties::addColor(const QString &label, const QString &key, const Read &read, const Write &write)
{
    auto *field = new ColorField(key, label, m_form);
    QLineEdit *edit = field->line();
    connect(field, &ColorField::chosen, this, [=, this](const QString &color) { commit(label, write, color, key); });
    m_loads << [=, this] {
        if (!edit->hasFocus())
            edit->setText(read(m_document->definition()).toString());
    };
    m_layout->addRow(label, field);
}

void DesignerProperties::addExpression(const QString &label, const QString &key, const DesignerBand &band,
                                       const Read &read, const Write &write)
{
    auto *edit = new ExpressionEdit(m_form);
    edit->setObjectName(key);
    edit->names = [this, band] { return names ? names(band) : ExpressionNames(); };
    connect(edit, &ExpressionEdit::edited, this, [=, this](const QString &t) { commit(label, write, t, key); });
    m_loads << [=, this] {
        if (!edit->line()->hasFocus())
            edit->setText(read(m_document->definition()).toString());
    };
    m_layout->addRow(label, edit);
}

void DesignerProperties::addStyleRules(const QString &title, const DesignerBand &band,
                                       const StyleRulesEditor::Rules &rules)
{
    heading(title);
    auto *editor = new StyleRulesEditor(m_document, rules, m_scope, m_form);
    editor->names = [this, band] { return names ? names(band) : ExpressionNames(); };
    m_loads << [editor] { editor->load(); };
    m_layout->addRow(editor);
}

void DesignerProperties::refresh()
{
    // An undo or redo may add or take a criterion: the report's panel is laid out again.
    // Later, not here: the change may come from a button of the panel itself.
    if (m_scope == QLatin1String("report") && m_criteriaShown != m_document->definition().criteria.size()) {
        m_criteriaShown = m_document->definition().criteria.size();
        QMetaObject::invokeMethod(this, [this] {
            if (m_scope == QLatin1String("report"))
                show({}, {}, {});
        }, Qt::QueuedConnection);
        return;
    }
    for (const auto &load : std::as_const(m_loads))
        load();
}

void DesignerProperties::show(const QList<ElementRef> &elements, const QList<int> &columns,
                              const QList<DesignerBand> &bands)
{
    clear();
    if (!elements.isEmpty())
        showElements(elements);
    else if (!columns.isEmpty())
        showColumn(columns.first());
    else if (!bands.isEmpty())
        showBand(bands.first());
    else
        showReport();
    refresh();
}

void DesignerProperties::showReport()
{
    m_scope = QStringLiteral("report");
    heading(QStringLiteral("Relatório"));
    const auto text = [this](const QString &label, const QString &key, QString ReportDefinition::*member) {
        addText(label, key, [member](const ReportDefinition &d) { return d.*member; },
                [member](ReportDefinition &d, const QVariant &v) { d.*member = v.toString(); });
    };
    text(QStringLiteral("Título"), QStringLiteral("title"), &ReportDefinition::title);
    text(QStringLiteral("Descrição"), QStringLiteral("description"), &ReportDefinition::description);
    addChoice(QStringLiteral("Orientação"), QStringLiteral("orientation"),
              {{QStringLiteral("landscape"), QStringLiteral("Paisagem")},
               {QStringLiteral("portrait"), QStringLiteral("Retrato")}},
              [](const ReportDefinition &d) { return d.landscape ? QStringLiteral("landscape") : QStringLiteral("portrait"); },
              [](ReportDefinition &d, const QVariant &v) { d.landscape = v.toString() == QLatin1String("landscape"); });
    addCheck(QStringLiteral("Colunas ocupam a largura da página"), QStringLiteral("columnsFillWidth"),
             [](const ReportDefinition &d) { return d.columnsFillWidth; },
             [](ReportDefinition &d, const QVariant &v) { d.columnsFillWidth = v.toBool(); });
    text(QStringLiteral("Cabeçalho"), QStringLiteral("heading"), &ReportDefinition::heading);
    text(QStringLiteral("Rodapé"), QStringLiteral("footer"), &ReportDefinition::footer);
    text(QStringLiteral("Fechamento"), QStringLiteral("summaryLabel"), &ReportDefinition::summaryLabel);
    showMargins();
    showCriteria();
}

// The lines under the heading that say what the report was asked for ("Filial: 0001 -
// Matriz"): a label, a text over the parameters, and a query that names what the text
// holds. Each change is a step of the undo history; adding or removing one lays the panel
// out again.
void DesignerProperties::showCriteria()
{
    heading(QStringLiteral("Critérios (linhas sob o cabeçalho)"));
    const qsizetype count = m_document->definition().criteria.size();
    m_criteriaShown = count;
    const std::tuple<const char *, const char *, QString ReportCriterion::*> parts[] = {
        {"Rótulo", "label", &ReportCriterion::label},
        {"Texto", "text", &ReportCriterion::text},
        {"Consulta do nome", "lookup", &ReportCriterion::lookup}};
    for (qsizetype i = 0; i < count; ++i) {
        auto *title = new QLabel(QStringLiteral("Critério %1").arg(i + 1), m_form);
        auto *remove = new QPushButton(QStringLiteral("Excluir"), m_form);
        remove->setObjectName(QStringLiteral("criterionRemove%1").arg(i));
        connect(remove, &QPushButton::clicked, this, [this, i] {
            m_document->change(QStringLiteral("Excluir critério"), [i](ReportDefinition &d) {
                if (i < d.criteria.size())
                    d.criteria.removeAt(i);
            });
        });
        m_layout->addRow(title, remove);
        for (const auto &[label, key, part] : parts)
            addText(QString::fromUtf8(label), QStringLiteral("criterion%1/%2").arg(i).arg(QLatin1String(key)),
                    [i, part](const ReportDefinition &d) {
                        return i < d.criteria.size() ? d.criteria.at(i).*part : QString();
                    },
                    [i, part](ReportDefinition &d, const QVariant &v) {
                        if (i < d.criteria.size())
                            d.criteria[i].*part = v.toString();
                    });
    }
    auto *add = new QPushButton(QStringLiteral("Incluir critério"), m_form);
    add->setObjectName(QStringLiteral("criterionAdd"));
    connect(add, &QPushButton::clicked, this, [this] {
        m_document->change(QStringLiteral("Incluir critério"), [](ReportDefinition &d) {
            d.criteria << ReportCriterion{QStringLiteral("Filial"), QStringLiteral("{:P_CDFILIAL}"), QString()};
        });
    });
    m_layout->addRow(QString(), add);
}

void DesignerProperties::showMargins()
{
    heading(QStringLiteral("Margens da página (A4)"));
    const std::tuple<const char *, const char *, double ReportMargins::*> sides[] = {
        {"Superior (mm)", "marginTop", &ReportMargins::top},
        {"Inferior (mm)", "marginBottom", &ReportMargins::bottom},
        {"Esquerda (mm)", "marginLeft", &ReportMargins::left},
        {"Direita (mm)", "marginRight", &ReportMargins::right}};
    for (const auto &[label, key, side] : sides)
        addNumber(QString::fromUtf8(label), QString::fromLatin1(key),
                  [side](const ReportDefinition &d) { return d.margins.*side; },
                  [side](ReportDefinition &d, const QVariant &v) { d.margins.*side = v.toDouble(); }, 0,
                  ReportMargins::maxMm, 1, 1);
}

void DesignerProperties::showElements(const QList<ElementRef> &refs)
{
    const ReportElement *first = refs.first().in(m_document->definition());
    if (!first)
        return showReport();
    const ElementRef ref = refs.first();
    m_scope = refs.size() == 1 ? QStringLiteral("el:%1:%2").arg(bandKey(ref.band)).arg(ref.index)
                               : QStringLiteral("els:%1").arg(refs.size());
    if (refs.size() > 1) {
        heading(QStringLiteral("%1 elementos").arg(refs.size()));
        return showElementLook(refs);
    }
    heading(QStringLiteral("%1 — %2").arg(kindText(first->kind), ref.band.title()));
    const auto member = [ref](auto pointer) {
        return std::pair<Read, Write>{[ref, pointer](const ReportDefinition &d) {
                                          const ReportElement *e = ref.in(d);
                                          return e ? QVariant::fromValue(e->*pointer) : QVariant();
                                      },
                                      [ref, pointer](ReportDefinition &d, const QVariant &v) {
                                          if (ReportElement *e = ref.in(d))
                                              e->*pointer = v.value<std::remove_reference_t<decltype(e->*pointer)>>();
                                      }};
    };
    auto [readName, writeName] = member(&ReportElement::name);
    addText(QStringLiteral("Nome"), QStringLiteral("name"), readName, writeName);
    const std::pair<const char *, double ReportElement::*> geometry[] = {{"X (mm)", &ReportElement::x},
                                                                        {"Y (mm)", &ReportElement::y},
                                                                        {"Largura (mm)", &ReportElement::width},
                                                                        {"Altura (mm)", &ReportElement::height}};
    const bool line = first->kind == ReportElement::Kind::Line;
    for (const auto &[label, pointer] : geometry) {
        auto [read, write] = member(pointer);
        const bool size = pointer == &ReportElement::width || pointer == &ReportElement::height;
        addNumber(QString::fromUtf8(label), QString::fromUtf8(label).section(QLatin1Char(' '), 0, 0).toLower(), read,
                  write, size && line ? -500 : 0, 500, 0.5, 1);
    }
    if (first->kind == ReportElement::Kind::Text) {
        auto [readText, writeText] = member(&ReportElement::text);
        addText(QStringLiteral("Texto"), QStringLiteral("text"), readText, writeText);
        auto [readExpr, writeExpr] = member(&ReportElement::expression);
        addExpression(QStringLiteral("Expressão"), QStringLiteral("expression"), ref.band, readExpr, writeExpr);
    } else if (first->kind == ReportElement::Kind::Field) {
        auto [readField, writeField] = member(&ReportElement::field);
        addText(QStringLiteral("Campo"), QStringLiteral("field"), readField, writeField,
                fields ? fields() : QStringList());
    } else if (first->kind == ReportElement::Kind::Image) {
        auto *change = new QPushButton(QStringLiteral("Trocar imagem..."), m_form);
        change->setObjectName(QStringLiteral("btnImagem"));
        connect(change, &QPushButton::clicked, this, [this, ref] {
            QByteArray bytes;
            QString mime;
            if (pickImage && pickImage(bytes, mime))
                m_document->change(QStringLiteral("Trocar imagem"), [&](ReportDefinition &d) {
                    if (ReportElement *e = ref.in(d)) {
                        e->image = bytes;
                        e->mime = mime;
                    }
                });
        });
        m_layout->addRow(QString(), change);
    }
    if (first->kind == ReportElement::Kind::Text || first->kind == ReportElement::Kind::Field) {
        auto [readFormat, writeFormat] = member(&ReportElement::format);
        addFormat(QStringLiteral("Formato"), readFormat, writeFormat);
    }
    showElementLook(refs);
    if (first->kind == ReportElement::Kind::Text || first->kind == ReportElement::Kind::Field) {
        // Conditions read what the element may show: totals too where a group or the report ends.
        addStyleRules(QStringLiteral("Estilos condicionais"), ref.band, [ref](ReportDefinition &d) {
            ReportElement *e = ref.in(d);
            return e ? &e->styles : nullptr;
        });
    }
}

void DesignerProperties::showElementLook(const QList<ElementRef> &refs)
{
    // The look of several elements is read from the first and given to all.
    const auto member = [refs](auto pointer) {
        return std::pair<Read, Write>{[refs, pointer](const ReportDefinition &d) {
                                          const ReportElement *e = refs.first().in(d);
                                          return e ? QVariant::fromValue(e->*pointer) : QVariant();
                                      },
                                      [refs, pointer](ReportDefinition &d, const QVariant &v) {
                                          for (const ElementRef &ref : refs)
                                              if (ReportElement *e = ref.in(d))
                                                  e->*pointer = v.value<std::remove_reference_t<decltype(e->*pointer)>>();
                                      }};
    };
    heading(QStringLiteral("Aparência"));
    const ReportElement::Kind kind = refs.first().in(m_document->definition())->kind;
    const bool text = kind == ReportElement::Kind::Text || kind == ReportElement::Kind::Field;
    if (text) {
        auto [readSize, writeSize] = member(&ReportElement::fontSize);
        addNumber(QStringLiteral("Fonte (pt)"), QStringLiteral("fontSize"), readSize, writeSize, 4, 72, 0.5, 1);
        auto [readBold, writeBold] = member(&ReportElement::bold);
        addCheck(QStringLiteral("Negrito"), QStringLiteral("bold"), readBold, writeBold);
        auto [readItalic, writeItalic] = member(&ReportElement::italic);
        addCheck(QStringLiteral("Itálico"), QStringLiteral("italic"), readItalic, writeItalic);
        auto [readAlign, writeAlign] = member(&ReportElement::align);
        addChoice(QStringLiteral("Alinhamento"), QStringLiteral("align"), alignments, readAlign, writeAlign);
        auto [readColor, writeColor] = member(&ReportElement::color);
        addColor(QStringLiteral("Cor"), QStringLiteral("color"), readColor, writeColor);
    }
    if (kind != ReportElement::Kind::Line) {
        auto [readBack, writeBack] = member(&ReportElement::background);
        addColor(QStringLiteral("Fundo"), QStringLiteral("background"), readBack, writeBack);
    }
    auto [readBorder, writeBorder] = member(&ReportElement::borderWidth);
    addNumber(kind == ReportElement::Kind::Line ? QStringLiteral("Espessura (mm)") : QStringLiteral("Borda (mm)"),
              QStringLiteral("borderWidth"), readBorder, writeBorder, 0, 5, 0.1, 2);
    auto [readBorderColor, writeBorderColor] = member(&ReportElement::borderColor);
    addColor(kind == ReportElement::Kind::Line ? QStringLiteral("Cor da linha") : QStringLiteral("Cor da borda"),
             QStringLiteral("borderColor"), readBorderColor, writeBorderColor);
}

void DesignerProperties::showColumn(int column)
{
    m_scope = QStringLiteral("col:%1").arg(column);
    heading(QStringLiteral("Coluna %1 da tabela").arg(column + 1));
    const auto member = [column](auto pointer) {
        return std::pair<Read, Write>{[column, pointer](const ReportDefinition &d) {
                                          return column < d.columns.size()
                                                     ? QVariant::fromValue(d.columns.at(column).*pointer)
                                                     : QVariant();
                                      },
                                      [column, pointer](ReportDefinition &d, const QVariant &v) {
                                          if (column < d.columns.size())
                                              d.columns[column].*pointer =
                                                  v.value<std::remove_reference_t<decltype(d.columns[column].*pointer)>>();
                                      }};
    };
    auto [readField, writeField] = member(&ReportColumn::field);
    addText(QStringLiteral("Campo"), QStringLiteral("field"), readField, writeField, fields ? fields() : QStringList());
    auto [readTitle, writeTitle] = member(&ReportColumn::title);
    addText(QStringLiteral("Título"), QStringLiteral("title"), readTitle, writeTitle);
    auto [readWidth, writeWidth] = member(&ReportColumn::width);
    addNumber(QStringLiteral("Largura (mm)"), QStringLiteral("width"), readWidth, writeWidth, 1, 300, 1, 1);
    showPrintedWidth(column);
    auto [readAlign, writeAlign] = member(&ReportColumn::align);
    addChoice(QStringLiteral("Alinhamento"), QStringLiteral("align"), alignments, readAlign, writeAlign);
    auto [readFormat, writeFormat] = member(&ReportColumn::format);
    addFormat(QStringLiteral("Formato"), readFormat, writeFormat);
    auto [readWhen, writeWhen] = member(&ReportColumn::visibleWhen);
    addText(QStringLiteral("Visível quando"), QStringLiteral("visibleWhen"), readWhen, writeWhen);
    auto [readData, writeData] = member(&ReportColumn::dataOnly);
    addCheck(QStringLiteral("Só em planilha (CSV, XLSX)"), QStringLiteral("dataOnly"), readData, writeData);
    addStyleRules(QStringLiteral("Estilos da célula"), DesignerBand{DesignerBand::Detail, -1},
                  [column](ReportDefinition &d) { return column < d.columns.size() ? &d.columns[column].styles : nullptr; });
}

// A column that prints at another width than its own says so under it, and why.
void DesignerProperties::showPrintedWidth(int column)
{
    auto *note = new QLabel(m_form);
    note->setObjectName(QStringLiteral("lblLarguraImpressa"));
    note->setWordWrap(true);
    m_layout->addRow(note);
    m_loads << [this, note, column] {
        const ReportDefinition &d = m_document->definition();
        if (column >= d.columns.size() || d.columns.at(column).dataOnly) {
            note->hide();
            return;
        }
        const double width = d.columns.at(column).width;
        const double page = d.contentWidthMm();
        const double scale = ReportColumn::paperScale(d.columns, page, d.columnsFillWidth);
        const QLocale pt(QLocale::Portuguese, QLocale::Brazil);
        const QString printed = pt.toString(width * scale, 'f', 1);
        note->setVisible(std::abs(width * scale - width) >= 0.05);
        note->setText(d.columnsFillWidth
                          ? QStringLiteral("Imprime com %1 mm: as colunas ocupam a largura da página "
                                           "(uma opção do relatório).")
                                .arg(printed)
                          : QStringLiteral("Imprime com %1 mm: as colunas somam mais que os %2 mm entre as margens "
                                           "e são estreitadas para caber.")
                                .arg(printed, pt.toString(page, 'f', 1)));
    };
}

void DesignerProperties::showBand(const DesignerBand &band)
{
    m_scope = QStringLiteral("band:%1").arg(bandKey(band));
    heading(band.title());
    if (band.holdsElements())
        addNumber(QStringLiteral("Altura (mm)"), QStringLiteral("height"),
                  [band](const ReportDefinition &d) {
                      const ReportBand *b = band.in(d);
                      return b ? b->height : 0.0;
                  },
                  [band](ReportDefinition &d, const QVariant &v) {
                      if (ReportBand *b = band.in(d))
                          b->height = v.toDouble();
                  },
                  0, 200, 0.5, 1);
    else {
        auto *note = new QLabel(QStringLiteral("A altura de uma linha da tabela é a da fonte do relatório."), m_form);
        note->setWordWrap(true);
        m_layout->addRow(note);
    }
    if (band.kind == DesignerBand::Detail)
        addStyleRules(QStringLiteral("Estilos das linhas"), band,
                      [](ReportDefinition &d) { return &d.rowStyles; });
    if (band.isGroupBand())
        showGroup(band.level);
    else if (band.kind == DesignerBand::PageHeader || band.kind == DesignerBand::PageFooter
             || band.kind == DesignerBand::Summary)
        showReport();
}

void DesignerProperties::showGroup(int level)
{
    heading(QStringLiteral("Grupo %1").arg(level + 1));
    const auto member = [level](auto pointer) {
        return std::pair<Read, Write>{[level, pointer](const ReportDefinition &d) {
                                          return level < d.groups.size() ? QVariant::fromValue(d.groups.at(level).*pointer)
                                                                         : QVariant();
                                      },
                                      [level, pointer](ReportDefinition &d, const QVariant &v) {
                                          if (level < d.groups.size())
                                              d.groups[level].*pointer =
                                                  v.value<std::remove_reference_t<decltype(d.groups[level].*pointer)>>();
                                      }};
    };
    auto [readField, writeField] = member(&ReportGroup::field);
    addExpression(QStringLiteral("Chave (quebra)"), QStringLiteral("groupField"),
                  DesignerBand{DesignerBand::GroupHeader, level}, readField, writeField);
    auto [readHeader, writeHeader] = member(&ReportGroup::header);
    addText(QStringLiteral("Texto do cabeçalho"), QStringLiteral("groupHeader"), readHeader, writeHeader);
    auto [readFooter, writeFooter] = member(&ReportGroup::footer);
    addText(QStringLiteral("Texto do rodapé"), QStringLiteral("groupFooter"), readFooter, writeFooter);
    addCheck(QStringLiteral("Iniciar em nova página"), QStringLiteral("newPage"),
             [level](const ReportDefinition &d) {
                 return level < d.groups.size() && !d.groups.at(level).pageBreak.trimmed().isEmpty()
                        && d.groups.at(level).pageBreak.compare(QLatin1String("never"), Qt::CaseInsensitive) != 0;
             },
             [level](ReportDefinition &d, const QVariant &v) {
                 if (level < d.groups.size())
                     d.groups[level].pageBreak = v.toBool() ? QStringLiteral("always") : QString();
             });
    auto [readBreak, writeBreak] = member(&ReportGroup::pageBreak);
    addText(QStringLiteral("Nova página quando"), QStringLiteral("pageBreak"), readBreak, writeBreak,
            {QString(), QStringLiteral("always")});
    auto [readRepeat, writeRepeat] = member(&ReportGroup::repeatHeader);
    addCheck(QStringLiteral("Repetir o cabeçalho nas páginas de continuação"), QStringLiteral("repeatHeader"),
             readRepeat, writeRepeat);
}
