package com.lumivex.controller;

/**
 * What one playback trigger does. {@link #value} is 32 bits wide in the native
 * record: only its low 32 bits are stored, and it reads back sign-extended.
 * {@link #fileName} is stored cut to 255 UTF-16 units.
 */
public class DevTriggerAction {
    /** Type of the action, as the controller library defines it. */
    public int actionType;
    /** Name of the show the action plays. */
    public String fileName = "";
    /** Value of the action (32 bits in the native record). */
    public long value;

    /** Creates an empty action. */
    public DevTriggerAction() {
    }
}
