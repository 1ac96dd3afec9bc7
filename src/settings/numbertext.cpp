#include "numbertext.h"

numberText::numberText(QObject* parent) : QObject(parent) {}

void numberText::SetNumberText(QLineEdit* field)
{
    m_field = field;
}

bool numberText::eventFilter(QObject* watched, QEvent* event)
{
    return QObject::eventFilter(watched, event);
}

void numberText::repairText() {}
