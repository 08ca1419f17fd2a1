#pragma once
// The toolkit's application object for programs that have no windows of
// their own (developer tools, tests) but need its services, such as fonts.

/// Makes sure a graphical application object exists. When none exists it
/// creates one that lives until the process ends: on the display when one can
/// be reached, else on the windowless "offscreen" platform. Returns false when
/// a non-graphical application object already exists (none can be added then).
/// Main thread only.
bool EnsureGuiApplication();
