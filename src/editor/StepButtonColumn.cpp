#include "editor/StepButtonColumn.h"

#include "editor/PictureIcon.h"
#include "editor/StepEditor.h"
#include "editor/Twips.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *pictureButton(QWidget *parent, const char *name, const char *toolTip, PictureIcon::Picture picture)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QLatin1String(toolTip));
    button->setIcon(PictureIcon::icon(picture));
    const int side = Twips::toPixels(495, parent);
    button->setFixedSize(side, side);
    button->setIconSize(QSize(side - 8, side - 8));
    return button;
}

} // namespace

StepButtonColumn::StepButtonColumn(QWidget *parent)
    : QWidget(parent),
      m_add(pictureButton(this, "AddIntoCommand", "Addition New Step", PictureIcon::Add)),
      m_remove(pictureButton(this, "RemoveCommand", "Delete Step", PictureIcon::Remove)),
      m_insert(pictureButton(this, "InsertCommand", "Insert Step", PictureIcon::Insert)),
      m_modify(pictureButton(this, "ModifyCommand", "Modify Step", PictureIcon::Modify)),
      m_moveUp(pictureButton(this, "MoveUpCommand", "Move Up Step", PictureIcon::MoveUp)),
      m_moveDn(pictureButton(this, "MoveDnCommand", "Move Down Step", PictureIcon::MoveDown)),
      m_open(pictureButton(this, "OpenCommand", "Open File", PictureIcon::Open)),
      m_save(pictureButton(this, "SaveCommand", "Save File", PictureIcon::Save))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    // Eight buttons and the gap before Open leave the column a pixel between buttons; the style's
    // wider spacing would push Save out at the bottom.
    column->setSpacing(Twips::toPixels(15, this));
    for (QToolButton *button : {m_add, m_remove, m_insert, m_modify, m_moveUp, m_moveDn})
        column->addWidget(button);
    column->addSpacing(Twips::toPixels(240, this));
    column->addWidget(m_open);
    column->addWidget(m_save);
    column->addStretch(1);
}

void StepButtonColumn::connectTo(StepEditor *editor)
{
    connect(m_add, &QToolButton::clicked, editor, &StepEditor::addStepAndShow);
    connect(m_remove, &QToolButton::clicked, editor, &StepEditor::removeStepAndShow);
    connect(m_insert, &QToolButton::clicked, editor, &StepEditor::insertStepAndShow);
    connect(m_modify, &QToolButton::clicked, editor, &StepEditor::modifyStepAndShow);
    connect(m_moveUp, &QToolButton::clicked, editor, &StepEditor::moveStepUpAndShow);
    connect(m_moveDn, &QToolButton::clicked, editor, &StepEditor::moveStepDownAndShow);
}
