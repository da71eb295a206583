#ifndef KEEPAWAKE_H
#define KEEPAWAKE_H

// Keeps the system and the display from sleeping while a cast runs. On
// Windows this is the calling thread's execution state; elsewhere there is
// nothing to keep awake on our machines and the request is only logged.
void keepSystemAndDisplayAwake();
// Lets the system and the display sleep again by their own settings.
void allowSystemAndDisplaySleep();

#endif // KEEPAWAKE_H
