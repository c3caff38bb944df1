#pragma once

#include <QString>

// A settings file with secrets under several spellings, in several sections and one commented out,
// beside keys that only look like secrets; every secret's value holds "hunter2", which no copy of
// the text that leaves the file may hold.
namespace SecretSettings {

inline const QString Secret = QStringLiteral("hunter2");

inline const QString Text = QStringLiteral("; bench 7\r\n"
                                           "[System]\r\n"
                                           "MeasureTime=100\r\n"
                                           "PassCount=3\r\n"
                                           "[Store]\r\n"
                                           "Station=Bench 7\r\n"
                                           "Password=hunter2-a\r\n"
                                           ";Password=hunter2-b\r\n"
                                           "[Lab]\r\n"
                                           "PASSWORD = hunter2-c\r\n"
                                           "DbPass=\"hunter2-d\"\r\n"
                                           "ApiToken=hunter2-e\r\n"
                                           "Passes=12\n"
                                           "client_secret=hunter2-f");

inline const QString Blanked = QStringLiteral("; bench 7\r\n"
                                              "[System]\r\n"
                                              "MeasureTime=100\r\n"
                                              "PassCount=3\r\n"
                                              "[Store]\r\n"
                                              "Station=Bench 7\r\n"
                                              "Password=\r\n"
                                              ";Password=\r\n"
                                              "[Lab]\r\n"
                                              "PASSWORD =\r\n"
                                              "DbPass=\r\n"
                                              "ApiToken=\r\n"
                                              "Passes=12\n"
                                              "client_secret=");

} // namespace SecretSettings
