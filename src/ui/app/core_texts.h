// The French texts that reach the window from outside the interface's own code: the core's
// messages and picture type names (the core is Qt-free and has no translation of its own), the
// captions of its message boxes, and the texts that exceptions and undo entries carry. They are
// listed for lupdate under the context "CoreTexts" and translated where the window shows them.
#pragma once

#include <QString>
#include <string>

namespace vorlino {

inline constexpr char kCoreTextsContext[] = "CoreTexts";

// The text in the interface's language. Each line is looked up on its own, first as a whole, then
// against the listed texts that have %1, %2... in them (a file name, a size), whose values are
// carried over. A line that matches nothing, or any text while no translation is installed, is
// returned as it is.
QString TranslatedCoreText(const QString& french);
QString TranslatedCoreText(const std::string& french);

// The type names of a "description (patterns)" entry of the core's file filters, translated; the
// patterns stay as they are.
QString TranslatedTypeName(const QString& description);

}  // namespace vorlino
