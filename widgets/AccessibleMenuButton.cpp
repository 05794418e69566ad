#include "widgets/AccessibleMenuButton.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QRegularExpression>

namespace {

constexpr char kMenuButtonProperty[] = "quillonOpensMenu";

class CAccessibleMenuButton : public QAccessibleWidget {
public:
    explicit CAccessibleMenuButton(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::ButtonMenu) {}

    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && Button()->accessibleName().isEmpty()) {
            QString name = Button()->text();
            name.remove(QRegularExpression(QStringLiteral("&(?!&)")));
            return name;
        }
        // Not every bridge passes the role and the has-popup state on; every one passes this.
        if (t == QAccessible::Description && Button()->accessibleDescription().isEmpty())
            return QStringLiteral("Opens a menu");
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.hasPopup = true;
        return state;
    }

    QStringList actionNames() const override
    {
        if (!Button()->isEnabled())
            return QAccessibleWidget::actionNames();
        return QStringList{pressAction(), showMenuAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if ((action == pressAction() || action == showMenuAction()) && Button()->isEnabled())
            Button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* MenuButtonFactory(const QString&, QObject* object)
{
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (button && button->property(kMenuButtonProperty).toBool())
        return new CAccessibleMenuButton(button);
    return nullptr;
}

}  // namespace

void MarkAsMenuButton(QAbstractButton& button)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(MenuButtonFactory);
        return true;
    }();
    (void)factoryInstalled;
    if (IsMarkedAsMenuButton(button))
        return;
    button.setProperty(kMenuButtonProperty, true);
    // An interface made before the mark (Qt makes them on the first state change it reports)
    // would keep the plain button role: drop it, so the next query builds the menu button's.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&button))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

bool IsMarkedAsMenuButton(const QAbstractButton& button)
{
    return button.property(kMenuButtonProperty).toBool();
}
