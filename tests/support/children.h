#pragma once
// A window's control found by its object name, as assistive technology and a
// user's script find it; a missing control fails the test.
#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

template <typename T>
T* Child(const QWidget& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    if (!child) ADD_FAILURE() << "no control named " << name;
    return child;
}
