#pragma once

#include "widgets/msgbox.h"

#include <QList>
#include <QString>

// Stands in for the user at every message box while it lives: records what
// is shown and answers from `answers` in turn, OK once they run out.
class MsgBoxRecorder
{
public:
    struct Shown
    {
        QString text;
        MessageIcon icon;
        MsgBox::Buttons buttons;
    };

    QList<Shown> shown;
    QList<MsgBox::Answer> answers;

    MsgBoxRecorder()
    {
        MsgBox::SetHandler([this](const QString& text, MessageIcon icon, MsgBox::Buttons buttons) {
            shown.append({text, icon, buttons});
            return answers.isEmpty() ? MsgBox::Answer::Ok : answers.takeFirst();
        });
    }
    ~MsgBoxRecorder() { MsgBox::SetHandler({}); }
    MsgBoxRecorder(const MsgBoxRecorder&) = delete;
    MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;
};
