#pragma once

#include <QWidget>

// The borderless picture shown while the program starts.
class TSplashForm : public QWidget {
    Q_OBJECT
public:
    TSplashForm();
};
