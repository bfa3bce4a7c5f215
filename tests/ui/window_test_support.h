// Small helpers the window tests share: a named child, a status panel's text, the window shown.
#pragma once

#include <QLabel>
#include <QObject>
#include <QString>
#include <QTest>

#include "app/main_form.h"

namespace vorlino::test {

// The child of that object name; the test program stops when there is none.
template <class T>
T* child(QObject& parent, const char* name) {
  T* found = parent.findChild<T*>(QString::fromLatin1(name));
  if (found == nullptr) qFatal("no child %s", name);
  return found;
}

// The text of the status bar's panel (0, 1 or 2).
inline QString status(TMainForm& form, int panel) {
  return child<QLabel>(form, QStringLiteral("StatusPanel%1").arg(panel).toLatin1())->text();
}

// Shows the window at 800 x 600 and waits until it is on screen.
inline void showForm(TMainForm& form) {
  form.resize(800, 600);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
}

}  // namespace vorlino::test
