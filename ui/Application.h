#pragma once

namespace velk::ui
{

/// Prepares the application object before the first window: its name and the fonts. No display name is set,
/// so the platform shows every window title exactly as the window gives it, with nothing appended.
void setupApplication();

} // namespace velk::ui
