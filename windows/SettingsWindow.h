// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel {

// Every setting and shortcut in one window.
class SettingsWindow
{
public:
    static void showWindow();
};

// The welcome window of the very first start.
class FirstRunWindow
{
public:
    static void showWindow();
};

} // namespace vantrel
