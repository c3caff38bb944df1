#pragma once

#include <QString>

// File dialog filters are written as "name|patterns|name|patterns"; Qt wants
// "name (patterns);;name (patterns)".
namespace DialogFilter {

QString toQt(const QString &pairs);

} // namespace DialogFilter
