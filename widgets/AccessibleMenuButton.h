#pragma once
// Screen readers learn that a push button drops a menu: a marked button is presented as a menu
// button (the "push button menu" role, with the has-popup state), named by its text without the
// access-key ampersand, described as "Opens a menu", whose "press" and "show menu" actions click
// it. Window thread only.
class QAbstractButton;

// Marks `button` as one that opens a menu when pressed. Mark it before the window is shown:
// screen readers that already hold the button's old interface keep it.
void MarkAsMenuButton(QAbstractButton& button);

// Whether `button` was marked.
bool IsMarkedAsMenuButton(const QAbstractButton& button);
