package com.lumivex.testsupport;

import java.io.File;
import java.net.MalformedURLException;
import java.net.URL;
import java.net.URLClassLoader;
import java.util.ArrayList;
import java.util.List;

/**
 * Loads classes from one jar and records the name of every class asked of
 * it, in order, so a test can see which classes native code looked up (JNI
 * FindClass in a native method asks the loader of the method's class).
 */
public final class RecordingClassLoader extends URLClassLoader {
    private final List<String> requested = new ArrayList<>();

    /**
     * Creates a loader for one jar, above the platform loader only, so the
     * jar's classes never come from the application class path.
     *
     * @param jar path of the jar
     * @throws MalformedURLException when the path cannot become a URL
     */
    public RecordingClassLoader(String jar) throws MalformedURLException {
        super(new URL[] {new File(jar).toURI().toURL()}, ClassLoader.getPlatformClassLoader());
    }

    @Override
    protected Class<?> loadClass(String name, boolean resolve) throws ClassNotFoundException {
        synchronized (requested) {
            requested.add(name);
        }
        return super.loadClass(name, resolve);
    }

    /**
     * Returns the names asked of this loader so far, in order.
     *
     * @return the names, separated by commas
     */
    public String requested() {
        synchronized (requested) {
            return String.join(",", requested);
        }
    }
}
