package com.lumivex.lumictl;

import com.lumivex.controller.DevException;

/**
 * Names of the result codes the controller and show-file libraries return, for
 * messages. A code without a name here (one a library added) is shown as its
 * number alone.
 */
final class Codes {
    private static final String[] NAMES = new String[32];

    static {
        NAMES[0] = "DevSuccess";
        NAMES[1] = "DevError";
        NAMES[2] = "DevNoMoreData";
        NAMES[3] = "DevInvalidArgument";
        NAMES[4] = "DevInvalidHandle";
        NAMES[5] = "DevDeviceNotFound";
        NAMES[6] = "DevDeviceBusy";
        NAMES[7] = "DevFileNotFound";
        NAMES[8] = "DevInvalidName";
        NAMES[9] = "DevIOError";
        NAMES[10] = "DevOutOfMemory";
        NAMES[11] = "DevStoreFull";
        NAMES[12] = "DevTooManyShows";
        NAMES[13] = "DevFrameTooLarge";
        NAMES[14] = "DevWrongState";
        NAMES[15] = "DevFileExists";
        NAMES[16] = "DevBadFormat";
        NAMES[17] = "DevCorrupt";
        NAMES[18] = "DevTruncated";
        NAMES[19] = "DevNotSupported";
        NAMES[28] = "DevFileAlreadyOpen";
        NAMES[29] = "DevFileNotOpen";
        NAMES[31] = "DevInitFailed";
    }

    private Codes() {
    }

    /** "code 9 (DevIOError)", or "code 42" for a code without a name. */
    static String describe(int code) {
        if (code >= 0 && code < NAMES.length && NAMES[code] != null) {
            return "code " + code + " (" + NAMES[code] + ")";
        }
        return "code " + code;
    }

    static String describe(DevException e) {
        return describe(e.getCode());
    }

    /** Names of the controller states the controller library reports. */
    static String stateName(int state) {
        switch (state) {
            case 0: return "idle";
            case 1: return "live play";
            case 2: return "playing back";
            case 3: return "writing a show";
            case 4: return "reading a show";
            case 5: return "writing triggers";
            default: return "unknown";
        }
    }
}
