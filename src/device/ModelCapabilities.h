#pragma once

#include <QString>
#include <QStringList>

// Which test functions a connected load offers, judged from the model text the window shows
// (the load's model, and the generator's model after " + " when a generator is used).
namespace ModelCapabilities {

// Whether the model text allows a function of the base list (all but the two generator ones).
bool offers(int catalogueIndex, const QString &modelText);

// The functions to offer, in catalogue order: the base functions the model text allows, then the
// two generator functions when a generator is used.
QStringList offeredFunctions(const QString &modelText, bool generatorEnabled);

} // namespace ModelCapabilities
