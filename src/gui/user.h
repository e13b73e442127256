#pragma once

#include <QString>

// Someone who may open a maintenance session. The PIN is compared as text; an empty PIN
// never opens a session.
struct User
{
    int id = 0;
    QString firstName;
    QString lastName;
    QString pin;
};
