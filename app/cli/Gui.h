#pragma once

#include <QGuiApplication>
#include <memory>

// Headless rendering: fonts and painting need a Gui application but no display.
std::unique_ptr<QGuiApplication> startGui();
