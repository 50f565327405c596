#pragma once

// The desktop's second selection (on X11 PRIMARY, pasted with the middle button). Selecting
// text in another application through the accessibility interface makes some toolkits (GTK 3)
// take it over, so a replacement keeps what it held and puts that back. Main thread only.
class PrimarySelection {
public:
    virtual ~PrimarySelection() = default;

    // Takes note of what the selection holds now (as far as its owner answers quickly).
    virtual void save() = 0;
    // Puts back what save() found if another owner has taken the selection since; forgets it.
    virtual void restore() = 0;
};
