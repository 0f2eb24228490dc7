function f(a, b) { // c
  var r = /a+b/g, s = `t${a}`;
  return { k: [1, 2.5e3, 0x1f], s: 'q' };
}
class C extends D { m() {} }
