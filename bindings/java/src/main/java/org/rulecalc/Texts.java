package org.rulecalc;

import com.sun.jna.Pointer;
import java.nio.charset.Charset;
import java.util.Arrays;

/** Texts between Java and the library, which reads and writes GBK. */
final class Texts {
  static final Charset GBK = Charset.forName("GBK");

  private Texts() {}

  /**
   * The NUL-terminated GBK bytes of a text; IllegalArgumentException naming {@code what} for a
   * character GBK lacks, or a NUL (the library would end the text there).
   */
  static byte[] gbk(String text, String what) {
    int nul = text.indexOf('\0');
    if (nul >= 0) {
      throw new IllegalArgumentException(
          what + " holds a NUL character at position " + nul + ", where the library would end it");
    }
    if (!GBK.newEncoder().canEncode(text)) {
      throw new IllegalArgumentException(what + " has a character GBK lacks: \"" + text + "\"");
    }
    byte[] encoded = text.getBytes(GBK);
    return Arrays.copyOf(encoded, encoded.length + 1);
  }

  /** The NUL-terminated bytes of an ASCII text the binding made itself. */
  static byte[] ascii(String text) {
    byte[] encoded = text.getBytes(java.nio.charset.StandardCharsets.US_ASCII);
    return Arrays.copyOf(encoded, encoded.length + 1);
  }

  /** The bytes of a text the library returned with its length. */
  static byte[] bytes(Pointer text, long[] length) {
    return text == null || length[0] == 0 ? new byte[0] : text.getByteArray(0, Math.toIntExact(length[0]));
  }

  static String decoded(byte[] bytes) {
    return new String(bytes, GBK);
  }

  static String decoded(byte[] bytes, long start, long length) {
    return new String(bytes, Math.toIntExact(start), Math.toIntExact(length), GBK);
  }
}
