class A < B
  def f(x) = x * 2
  def g; "s #{@v}" + %w[a b].join; end
end
=begin
c
=end
puts :sym, /re/i
