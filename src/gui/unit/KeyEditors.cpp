#include "gui/unit/KeyEditors.h"

#include "core/app/DebugLog.h"
#include "core/unit/KeyDefinitionTable.h"
#include "core/unit/UnitInfoClass.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstdlib>

namespace {

constexpr int KEY_CONTACT_ID_EVENT_OFFSET = 4097;
constexpr int KEY_CONTACT_ID_ADDRESS_OFFSET = 4098;
constexpr int KEY_DEVICE_FIRMWARE = 4353;
constexpr int KEY_POLL_TIME = 4355;
constexpr int KEY_LAST_RADIO_CONTACT = 4364;

constexpr int STATUS_ACTION_KEYS[] = {105, 118, 150, 168, 4128, 4153, 4164, 4354, 4373, 4413, 4414};

// " " followed by the key's option texts: the items of choice and suggestion lists.
void FillOptionItems(QComboBox* combo, int keyId) {
    const int count = KeyOptionCount(keyId);
    if (combo->count() == count + 1)
        return;
    const QString edited = combo->isEditable() ? combo->currentText() : QString();
    combo->clear();
    combo->addItem(QString::fromLatin1(KeyEditors::BLANK_ITEM));
    for (int i = 0; i < count; ++i)
        combo->addItem(GetKeyOptionText(keyId, i));
    combo->setCurrentIndex(-1);
    // Refilling must not take away what the user is typing.
    if (combo->isEditable())
        combo->setEditText(edited);
}

QComboBox* MakeCombo(bool editable, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(editable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // A list with nothing chosen: the column holds only what the user picks.
    combo->setCurrentIndex(-1);
    // Rolling the wheel over the list to scroll it must not change a setting by accident.
    combo->setFocusPolicy(Qt::StrongFocus);
    return combo;
}

} // namespace

// ---- KeyMemoEdit ------------------------------------------------------------------------------

KeyMemoEdit::KeyMemoEdit(int normalHeight, QWidget* parent)
    : QPlainTextEdit(parent), NormalHeight(normalHeight) {
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // One line high in its row, scroll bars only once it has grown: arrows in a one-line box
    // leave no room for the text.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedHeight(NormalHeight);
}

void KeyMemoEdit::SetNormalHeight(int height) {
    NormalHeight = height;
    if (!Grown)
        setFixedHeight(NormalHeight);
}

QSize KeyMemoEdit::sizeHint() const {
    return QSize(KeyEditors::EDITOR_WIDTH, Grown ? GROWN_HEIGHT : NormalHeight);
}

void KeyMemoEdit::SetGrown(bool grown) {
    if (grown == Grown)
        return;
    Grown = grown;
    setFixedHeight(Grown ? GROWN_HEIGHT : NormalHeight);
    setVerticalScrollBarPolicy(Grown ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (Grown)
        raise();
    updateGeometry();
    Q_EMIT heightChanged();
}

void KeyMemoEdit::enterEvent(QEnterEvent* event) {
    QPlainTextEdit::enterEvent(event);
    SetGrown(true);
}

void KeyMemoEdit::leaveEvent(QEvent* event) {
    QPlainTextEdit::leaveEvent(event);
    if (!hasFocus())
        SetGrown(false);
}

void KeyMemoEdit::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    SetGrown(true);
}

void KeyMemoEdit::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (!underMouse())
        SetGrown(false);
}

// ---- editors ----------------------------------------------------------------------------------

namespace KeyEditors {

bool IsStatusActionKey(int keyId) {
    for (const int id : STATUS_ACTION_KEYS)
        if (id == keyId)
            return true;
    return false;
}

bool HasEditor(int keyId, int typeCode) {
    return !IsStatusKeyType(typeCode) || IsStatusActionKey(keyId);
}

QWidget* CreateEditor(const KeyObjectClass& key, int typeCode, int memoHeight, QWidget* parent) {
    const int kind = KeyBaseKindOf(typeCode);
    QWidget* editor = nullptr;
    switch (kind) {
    case KEY_KIND_TEXT:
    case KEY_KIND_NUMBER: {
        auto* edit = new QLineEdit(parent);
        if (key.Id == KEY_CONTACT_ID_EVENT_OFFSET)
            edit->setToolTip(QStringLiteral("8 is usually the standard for ContactID"));
        else if (key.Id == KEY_CONTACT_ID_ADDRESS_OFFSET)
            edit->setToolTip(QStringLiteral("11 is usually the standard for ContactID"));
        editor = edit;
        break;
    }
    case KEY_KIND_YESNO:
    case KEY_KIND_CHOICE:
        editor = MakeCombo(false, parent);
        break;
    case KEY_KIND_TEXT_SUGGEST:
    case KEY_KIND_NUMBER_SUGGEST:
        editor = MakeCombo(true, parent);
        break;
    case KEY_KIND_IPV4: {
        auto* edit = new QLineEdit(parent);
        edit->setInputMask(QString::fromLatin1(IPV4_MASK));
        editor = edit;
        break;
    }
    case KEY_KIND_DURATION: {
        auto* edit = new QLineEdit(parent);
        edit->setInputMask(QString::fromLatin1(DURATION_MASK));
        edit->setToolTip(QStringLiteral("Hours:Minutes:Seconds (HH:MM:SS). Max 18 Hours."));
        editor = edit;
        break;
    }
    case KEY_KIND_TEXTLINES: {
        auto* memo = new KeyMemoEdit(memoHeight, parent);
        memo->setToolTip(QStringLiteral("Strings are separated by rows"));
        editor = memo;
        break;
    }
    case KEY_KIND_ACTION:
    case KEY_KIND_COUNT_ACTION:
        editor = new QPushButton(parent);
        break;
    case KEY_KIND_SIGNAL_LEVEL: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(true);
        editor = bar;
        break;
    }
    default:
        return nullptr;
    }
    editor->setMinimumWidth(EDITOR_WIDTH);
    editor->setProperty(PROPERTY_KEY_ID, key.Id);
    editor->setProperty(PROPERTY_BASE_KIND, kind);
    // Input keys of one input share the input's address as their data.
    if (UnitInfoClass::IsInputKey(key.Id))
        editor->setProperty(PROPERTY_INPUT_ADDRESS, key.DataText());
    editor->hide();
    const uint16_t slot = FindKeyIndex(key.Id);
    WriteLog(QStringLiteral("Component Created: ") +
             (slot == KEY_NOT_FOUND ? QString() : KeyDefinitionAt(slot).Label) + QStringLiteral(". Type: ") +
             QString::number(kind) + QStringLiteral(". ComponentPointer: ") +
             QString::number(reinterpret_cast<quintptr>(editor)));
    return editor;
}

void FillItems(QWidget* editor, const KeyObjectClass& key, int typeCode, bool verbose) {
    auto* combo = qobject_cast<QComboBox*>(editor);
    if (combo == nullptr)
        return;
    const int kind = KeyBaseKindOf(typeCode);
    if (kind == KEY_KIND_YESNO) {
        if (combo->count() != 3) {
            combo->clear();
            combo->addItems({QString::fromLatin1(BLANK_ITEM), QStringLiteral("No"), QStringLiteral("Yes")});
            combo->setCurrentIndex(-1);
        }
        return;
    }
    FillOptionItems(combo, key.Id);
    if (verbose && combo->count() < 2) {
        const uint16_t slot = FindKeyIndex(key.Id);
        WriteLog(QStringLiteral("WARNING: No strings to add (") +
                 (slot == KEY_NOT_FOUND ? QString() : KeyDefinitionAt(slot).Label) + QStringLiteral(")"));
    }
}

bool ReadChange(QWidget* editor, int typeCode, QString& valueText) {
    if (editor == nullptr)
        return false;
    switch (typeCode) {
    case KEY_KIND_YESNO:
    case KEY_KIND_CHOICE: {
        auto* combo = qobject_cast<QComboBox*>(editor);
        // The first item is the blank one: picking it again means "leave as it is".
        if (combo == nullptr || combo->currentIndex() < 1)
            return false;
        valueText =
            typeCode == KEY_KIND_YESNO ? combo->currentText() : QString::number(combo->currentIndex() - 1);
        return true;
    }
    case KEY_KIND_TEXT_SUGGEST:
    case KEY_KIND_NUMBER_SUGGEST: {
        auto* combo = qobject_cast<QComboBox*>(editor);
        if (combo == nullptr)
            return false;
        const QString text = combo->currentText();
        // The blank item picked from the list is "no change" here too, not a value of one space.
        if (text.isEmpty() || text == QLatin1String(BLANK_ITEM))
            return false;
        valueText = text;
        return true;
    }
    case KEY_KIND_TEXT:
    case KEY_KIND_NUMBER: {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (edit == nullptr || edit->text().isEmpty())
            return false;
        valueText = edit->text();
        return true;
    }
    case KEY_KIND_TEXTLINES: {
        auto* memo = qobject_cast<QPlainTextEdit*>(editor);
        if (memo == nullptr)
            return false;
        const QString text = memo->toPlainText();
        if (text.isEmpty())
            return false;
        valueText = text.split(QLatin1Char('\n')).join(QStringLiteral("\r\n"));
        return true;
    }
    case KEY_KIND_IPV4:
    case KEY_KIND_DURATION: {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (edit == nullptr)
            return false;
        // The mask's blanks stay in the text, as the encoder expects them ("192.168.1  .20 ").
        const QString text = edit->displayText();
        const char* empty = typeCode == KEY_KIND_IPV4 ? IPV4_EMPTY_TEXT : DURATION_EMPTY_TEXT;
        if (text.isEmpty() || text == QLatin1String(empty))
            return false;
        valueText = text;
        return true;
    }
    default:
        return false;
    }
}

void Reset(QWidget* editor, int typeCode) {
    if (editor == nullptr)
        return;
    switch (typeCode) {
    case KEY_KIND_YESNO:
    case KEY_KIND_CHOICE:
    case KEY_KIND_TEXT_SUGGEST:
    case KEY_KIND_NUMBER_SUGGEST:
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(-1);
            if (combo->isEditable())
                combo->clearEditText();
        }
        break;
    case KEY_KIND_TEXT:
    case KEY_KIND_NUMBER:
    case KEY_KIND_IPV4:
    case KEY_KIND_DURATION:
        if (auto* edit = qobject_cast<QLineEdit*>(editor))
            edit->clear();
        break;
    case KEY_KIND_TEXTLINES:
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor))
            memo->clear();
        break;
    default:
        break;
    }
}

QString EditorText(QWidget* editor) {
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        return edit->text();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(editor))
        return memo->toPlainText();
    return QString();
}

bool SetEditorText(QWidget* editor, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        return true;
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
        memo->setPlainText(text);
        return true;
    }
    return false;
}

int LevelBarPosition(int value) {
    const int magnitude = std::abs(static_cast<int>(static_cast<int8_t>(value & 0xFF)));
    if (magnitude >= 100)
        return 0;
    if (magnitude <= 30)
        return 100;
    return (100 - magnitude) * 100 / 70;
}

QColor LevelBarColour(int position, const UnitInfoClass& unit) {
    const KeyObjectClass* lastContact = unit.FindKey(KEY_LAST_RADIO_CONTACT);
    const int lastContactSeconds = lastContact != nullptr ? lastContact->Value / 1000 : 0;
    // A device that has not been heard for longer than it should report shows a grey bar: the level
    // is old news. Radio testers report every 70 seconds; other devices every poll time plus 2 min.
    int window = 70;
    const KeyObjectClass* firmware = unit.FindKey(KEY_DEVICE_FIRMWARE);
    const bool tester = firmware != nullptr && (firmware->ByteAt(1) == 3 || firmware->ByteAt(1) == 4);
    const KeyObjectClass* pollTime = unit.FindKey(KEY_POLL_TIME);
    if (!tester && pollTime != nullptr)
        window = (pollTime->Value + 2) * 60;
    if (lastContactSeconds > window)
        return QColor(0x80, 0x80, 0x80);
    if (position < 20)
        return QColor(0xFF, 0x00, 0x00);
    if (position < 35)
        return QColor(0xFF, 0xD9, 0x00);
    return QColor(0x6F, 0xDD, 0x00);
}

void SetLevelBar(QWidget* editor, const KeyObjectClass& key) {
    auto* bar = qobject_cast<QProgressBar*>(editor);
    if (bar == nullptr)
        return;
    const int position = LevelBarPosition(key.Value);
    WriteLog(QStringLiteral("Update RSSI Progressbar: ") + QString::number(position));
    bar->setValue(position);
    const QColor colour = LevelBarColour(position, key.Unit);
    QPalette palette = bar->palette();
    if (palette.color(QPalette::Highlight) != colour) {
        palette.setColor(QPalette::Highlight, colour);
        bar->setPalette(palette);
    }
}

int KeyNumber(const KeyObjectClass& key) {
    if (key.Data.isEmpty())
        return key.Value;
    int number = 0;
    for (qsizetype i = 0; i < key.Data.size() && i < 4; ++i)
        number = (number << 8) | static_cast<quint8>(key.Data.at(i));
    return number;
}

} // namespace KeyEditors
