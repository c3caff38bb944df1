#pragma once

#include <QString>
#include <QStringList>
#include <bitset>

// Which test functions a connected load offers, judged once, at identification, from the model
// text the window shows (the load's model, and the generator's model after " + " when a generator
// is used). Marks the run adds to that text later change nothing here.
class ModelCapabilities
{
public:
    // What no identification has answered: only the functions every model offers.
    ModelCapabilities() : ModelCapabilities(QString(), false) { }
    static ModelCapabilities of(const QString &modelText, bool generatorEnabled)
    {
        return ModelCapabilities(modelText, generatorEnabled);
    }

    // Whether the model allows a function of the catalogue; the two generator functions with a
    // generator in use.
    bool offers(int catalogueIndex) const;
    // The functions to offer, in catalogue order.
    QStringList offeredFunctions() const;
    // The battery tests the load runs by itself (a model with "C" or "G").
    bool batteryTests() const { return m_batteryTests; }
    // The RAMP and Cycle Life profiles (a model with "G").
    bool batteryProfiles() const { return m_batteryProfiles; }

private:
    ModelCapabilities(const QString &modelText, bool generatorEnabled);

    std::bitset<32> m_offered;
    bool m_batteryTests = false;
    bool m_batteryProfiles = false;
};
