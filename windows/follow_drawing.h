// The view that follows the drawing: when a run the user started ends with
// some of the drawing outside the plane's view, and neither the program
// nor the user chose the view during the run, the view fits the drawing.
// The configuration key PLANE.FOLLOW ("No" turns it off; the plane's
// follow button switches it) decides.
#pragma once

namespace tavro {

// Whether the view follows the drawing (PLANE.FOLLOW is not "No").
bool FollowsDrawing();
void SetFollowsDrawing(bool on);

// RunScope calls these when the outermost run begins and ends.
void NoteRunBegins();
void FollowDrawingAfterRun();

}  // namespace tavro
