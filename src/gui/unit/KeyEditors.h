#pragma once

#include "core/protocol/KeyChangeEncoder.h"

#include <QColor>
#include <QPlainTextEdit>
#include <QString>

class KeyObjectClass;
class QWidget;
class UnitInfoClass;

// The multi-line editor of text-lines keys. It stays small in its row and grows while the mouse is
// over it or it has the keyboard focus, so a list of server hosts can be typed without a dialog.
class KeyMemoEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int GROWN_HEIGHT = 100;

    explicit KeyMemoEdit(int normalHeight, QWidget* parent = nullptr);
    void SetNormalHeight(int height);
    bool IsGrown() const { return Grown; }
    QSize sizeHint() const override;

Q_SIGNALS:
    // The editor changed its height; the row that holds it has to follow.
    void heightChanged();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void SetGrown(bool grown);
    int NormalHeight;
    bool Grown = false;
};

// Editors of the "New Value" column: which widget a key gets, how it is filled, and how a change is
// read back and reset. The widgets carry their key id and base kind as properties, so everything
// here works from a key record and its editor alone.
namespace KeyEditors {

inline constexpr int EDITOR_WIDTH = 150;
inline constexpr const char* PROPERTY_KEY_ID = "KeyId";
inline constexpr const char* PROPERTY_BASE_KIND = "BaseKind";
inline constexpr const char* PROPERTY_INPUT_ADDRESS = "InputAddress";

// Qt masks for the IPv4 and duration editors, and the text each shows while empty.
inline constexpr const char* IPV4_MASK = "900.900.900.900; ";
inline constexpr const char* IPV4_EMPTY_TEXT = "   .   .   .   ";
inline constexpr const char* DURATION_MASK = "99:99:99; ";
inline constexpr const char* DURATION_EMPTY_TEXT = "  :  :  ";
// The first item of every drop-down list: "nothing chosen".
inline constexpr const char* BLANK_ITEM = " ";

// Status keys get no editor, except these action keys.
bool IsStatusActionKey(int keyId);
// Whether a key of the type shows an editor at all.
bool HasEditor(int keyId, int typeCode);

// Creates the editor of the key's base kind (not filled yet) and logs "Component Created: ".
// memoHeight is the height of a multi-line editor while the mouse is not over it.
QWidget* CreateEditor(const KeyObjectClass& key, int typeCode, int memoHeight, QWidget* parent);

// Refills the item lists of drop-down editors when they do not hold what the key offers. Values are
// never put into editors: the "New Value" column holds only what the user enters.
void FillItems(QWidget* editor, const KeyObjectClass& key, int typeCode, bool verbose);

// Whether the editor holds a change by the rules of its raw type, and the value text it hands over.
bool ReadChange(QWidget* editor, int typeCode, QString& valueText);
// Empties an editor after its value was sent.
void Reset(QWidget* editor, int typeCode);
// The text a one-line or multi-line editor holds; empty for other editors.
QString EditorText(QWidget* editor);
// Puts a text into a one-line or multi-line editor; false for other editors.
bool SetEditorText(QWidget* editor, const QString& text);

// The level bar of "Radio Signal Strength": position 0-100 from the key's value.
int LevelBarPosition(int value);
// Its colour from the position and the unit's radio keys.
QColor LevelBarColour(int position, const UnitInfoClass& unit);
void SetLevelBar(QWidget* editor, const KeyObjectClass& key);

// A key's number, whether the unit sent it as a number (`Value`) or as bytes (action keys keep
// theirs in `Data`): the first up to four bytes, big-endian.
int KeyNumber(const KeyObjectClass& key);

} // namespace KeyEditors
