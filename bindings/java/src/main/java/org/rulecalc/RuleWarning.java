package org.rulecalc;

/**
 * A place where a sentence mixes types, so that it means something other than it reads.
 *
 * @param message what the calculator noticed
 * @param position the character offset in the sentence
 */
public record RuleWarning(String message, int position) {}
