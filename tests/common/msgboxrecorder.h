#pragma once

#include "widgets/msgbox.h"

#include <QList>
#include <QString>
#include <QStringList>

// Stands in for the user at every message box while it lives: records what
// is shown and answers from `answers` in turn; once they run out, OK to a
// message and `toQuestions` to a Yes/No question.
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
    MsgBox::Answer toQuestions = MsgBox::Answer::Yes;

    MsgBoxRecorder()
    {
        MsgBox::SetHandler([this](const QString& text, MessageIcon icon, MsgBox::Buttons buttons) {
            shown.append({text, icon, buttons});
            if (!answers.isEmpty())
                return answers.takeFirst();
            return buttons == MsgBox::Buttons::Ok ? MsgBox::Answer::Ok : toQuestions;
        });
    }
    ~MsgBoxRecorder() { MsgBox::SetHandler({}); }

    QStringList texts() const
    {
        QStringList all;
        for (const Shown& message : shown)
            all.append(message.text);
        return all;
    }

    MsgBoxRecorder(const MsgBoxRecorder&) = delete;
    MsgBoxRecorder& operator=(const MsgBoxRecorder&) = delete;
};
