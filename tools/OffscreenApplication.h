#pragma once

namespace velk::tools
{

/// The Qt application a drawing command (an incipit, a printed catalogue) needs for fonts and painting. It never
/// opens a window, so it uses the offscreen platform unless QT_QPA_PLATFORM names another; one per process, made on
/// first use and kept until the process ends.
void ensureOffscreenApplication();

} // namespace velk::tools
