package com.lumivex.controller;

/**
 * The four-byte trigger header of a controller. Each field stands for one
 * byte: only its low 8 bits are stored (256 is stored as 0, -1 as 255), and
 * values read back lie between 0 and 255.
 */
public class DevTriggerHeader {
    /** First header byte. */
    public int byte1;
    /** Second header byte. */
    public int byte2;
    /** Third header byte. */
    public int byte3;
    /** Fourth header byte. */
    public int byte4;

    /** Creates a header of four zero bytes. */
    public DevTriggerHeader() {
    }
}
