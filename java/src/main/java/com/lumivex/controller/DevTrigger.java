package com.lumivex.controller;

/**
 * The condition of one playback trigger. {@link #value} is 32 bits wide in the
 * native record: only its low 32 bits are stored, and it reads back
 * sign-extended.
 */
public class DevTrigger {
    /** Type of the trigger, as the controller library defines it. */
    public int triggerType;
    /** Value of the trigger (32 bits in the native record). */
    public long value;

    /** Creates an empty trigger. */
    public DevTrigger() {
    }
}
