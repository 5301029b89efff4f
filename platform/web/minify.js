// Minifies one of the page's scripts with Debian's terser, for the build:
//   node minify.js [--whole] IN OUT
// Names local to a function are shortened everywhere. --whole is for the
// game's .js, which is one script that no other reaches into except through
// Module: its top-level names are shortened too and what nothing uses is
// dropped. The page's own scripts call each other's top-level functions,
// which therefore keep their names.
'use strict';
const fs = require('fs');
const terser = require('terser');

const args = process.argv.slice(2);
const whole = args[0] === '--whole';
const [input, output] = whole ? args.slice(1) : args;
if (!input || !output) {
  console.error('usage: node minify.js [--whole] IN OUT');
  process.exit(2);
}
terser.minify(fs.readFileSync(input, 'utf8'), {
  toplevel: whole,
  compress: {passes: 2},
  mangle: {reserved: ['Module']},
}).then((result) => {
  fs.writeFileSync(output, result.code);
}).catch((error) => {
  console.error(input + ': ' + error.message);
  process.exit(1);
});
