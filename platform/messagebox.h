#pragma once
// Message boxes, with one seam through which tests read exactly what the user
// would see and answer the box.
#include <QString>
#include <functional>

// Style values as message boxes take them: buttons in the low bits, icon above.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbCritical = 0x10,
    vbQuestion = 0x20,
    vbExclamation = 0x30,
    vbInformation = 0x40,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

struct MessageBoxRequest {
    QString text;
    int style = vbOKOnly;
    QString caption;
};

// Shows the box modally and returns the button pressed.
int MsgBox(const QString& text, int style, const QString& caption);

// Tests install a handler here; it replaces the real box while set.
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxHandler(MessageBoxHandler handler);
